// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// A permission's state in a settings row: "Allowed" with a green check when granted, otherwise
// a button that asks for it.
class PermissionStatus final : public QWidget
{
    Q_OBJECT

public:
    PermissionStatus(const QString &buttonTitle, std::function<void()> onRequest,
                     QWidget *parent = nullptr);

    [[nodiscard]] bool isGranted() const { return m_isGranted; }
    void setGranted(bool isGranted);

    [[nodiscard]] QLabel *allowedLabel() const { return m_allowed; }
    [[nodiscard]] QPushButton *button() const { return m_button; }

private:
    bool m_isGranted = false;
    QWidget *m_allowedRow;
    QLabel *m_allowed;
    QPushButton *m_button;
};
