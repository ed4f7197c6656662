// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// One key of a shortcut drawn as a small key cap.
class KeyCap final : public QWidget
{
    Q_OBJECT

public:
    explicit KeyCap(const QString &text, QWidget *parent = nullptr);

    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
