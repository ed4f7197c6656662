// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

// An on/off switch: a rounded track with a knob, the accent colour when on.
class ToggleSwitch final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    [[nodiscard]] QSize sizeHint() const override { return {38, 22}; }

    // A switch bound to a Boolean property of a model: flipping it stores the value at once, and
    // the switch shows every stored change.
    template <typename Model>
    [[nodiscard]] static ToggleSwitch *bound(Model &model, bool value, void (Model::*store)(bool),
                                             void (Model::*changed)(bool))
    {
        auto *toggle = new ToggleSwitch;
        toggle->setChecked(value);
        QObject::connect(toggle, &ToggleSwitch::toggled, &model, store);
        QObject::connect(&model, changed, toggle, &ToggleSwitch::setChecked);
        return toggle;
    }

protected:
    void paintEvent(QPaintEvent *event) override;
};
