// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Results/Chip.h"

#include <QWidget>

// The details of a Wi-Fi code chip in a small popup under the chip: the network's name and a
// button that copies its password. Closes like any popup (a click elsewhere, Escape).
class WifiPopover final : public QWidget
{
    Q_OBJECT

public:
    // With a compositor the popover draws its own shadow, like the panel.
    WifiPopover(const Chip &chip, bool isCompositing, QWidget *parent);

    [[nodiscard]] const Chip &chip() const { return m_chip; }
    // Opens above `anchor`, or under it when the screen ends above.
    void popUp(const QWidget *anchor);

Q_SIGNALS:
    void copyPasswordRequested(const QString &password);
    void closed();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    Chip m_chip;
    int m_shadowMargin;
};
