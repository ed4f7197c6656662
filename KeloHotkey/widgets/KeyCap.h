// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A key, or a whole shortcut, drawn as a key cap: small and outlined in a row of caps, one per
// key (the shortcut recorder), or large on a soft plate where the shortcut is what the user must
// remember (onboarding).
class KeyCap final : public QWidget
{
    Q_OBJECT

public:
    enum class Size { regular, large };

    explicit KeyCap(const QString &text, Size size = Size::regular, QWidget *parent = nullptr);

    [[nodiscard]] const QString &text() const { return m_text; }
    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
    Size m_size;
};
