// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Results/Chip.h"

#include <QList>
#include <QWidget>

class ChipButton;
class QGraphicsOpacityEffect;
class QHBoxLayout;
class QScrollArea;
class QToolButton;

// The panel's row of chips. When they do not all fit, the row fades out at the side where more
// chips hide and shows arrow buttons that scroll it; the mouse wheel scrolls it too, and Left and
// Right move the keyboard focus from chip to chip, scrolling it into view.
class ChipsRow final : public QWidget
{
    Q_OBJECT

public:
    explicit ChipsRow(QWidget *parent = nullptr);

    // Replaces the chips, scrolled back to the first; the same chips again change nothing.
    void setChips(const QList<Chip> &chips);
    [[nodiscard]] QList<ChipButton *> buttons() const;
    [[nodiscard]] ChipButton *buttonFor(const Chip &chip) const;
    void scrollTo(ChipButton *button);
    // Moves the keyboard focus to the next (1) or previous (-1) chip, or to the first or last
    // when no chip has it. Returns false when there is no chip.
    bool moveFocus(int direction);
    // The chip with the keyboard focus, if any.
    [[nodiscard]] ChipButton *focusedButton() const;

    [[nodiscard]] QToolButton *scrollLeftButton() const { return m_left; }
    [[nodiscard]] QToolButton *scrollRightButton() const { return m_right; }

Q_SIGNALS:
    void chipClicked(const Chip &chip);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void scrollBy(int direction);
    void showScrollState();

    QScrollArea *m_scroll;
    QWidget *m_content;
    QHBoxLayout *m_layout;
    QGraphicsOpacityEffect *m_fade;
    QToolButton *m_left;
    QToolButton *m_right;
    QList<Chip> m_chips;
};
