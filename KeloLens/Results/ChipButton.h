// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Results/Chip.h"

#include <QPushButton>

// One chip of the results panel: its badge on a tinted capsule, then its label on one line, cut
// in the middle when it is wider than 200 pixels.
class ChipButton final : public QPushButton
{
    Q_OBJECT

public:
    explicit ChipButton(const Chip &chip, QWidget *parent = nullptr);

    static constexpr int maximumLabelWidth = 200;

    [[nodiscard]] const Chip &chip() const { return m_chip; }
    // The label as drawn, after cutting.
    [[nodiscard]] QString shownLabel() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    [[nodiscard]] QRect badgeRect() const;

    Chip m_chip;
};
