// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A shortcut shown large, on a softly filled rounded plate.
class ShortcutBadge final : public QWidget
{
    Q_OBJECT

public:
    explicit ShortcutBadge(const QString &text, QWidget *parent = nullptr);

    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};
