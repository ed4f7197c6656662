// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

// A permission's state in a settings row, in a few words: with a green check when it is in
// force, plain otherwise, and a button only where the button can change it.
class PermissionStatus final : public QWidget
{
    Q_OBJECT

public:
    PermissionStatus(const QString &buttonTitle, std::function<void()> onRequest,
                     QWidget *parent = nullptr);

    void setState(const QString &text, bool isInForce, bool offersButton);

    [[nodiscard]] bool isInForce() const { return m_isInForce; }
    [[nodiscard]] QLabel *label() const { return m_text; }
    [[nodiscard]] QPushButton *button() const { return m_button; }

private:
    bool m_isInForce = false;
    QLabel *m_check;
    QLabel *m_text;
    QPushButton *m_button;
};
