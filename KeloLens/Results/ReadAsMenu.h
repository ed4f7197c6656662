// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMenu>

class ResultViewModel;

// "Read as" in the panel's menu: reads the shown capture again in one installed language (or
// on Automatic) or with the other line-break mode. Built from the model each time it opens, with
// the current reading checked; disabled while the capture cannot be read again or is being read.
class ReadAsMenu final : public QMenu
{
    Q_OBJECT

public:
    explicit ReadAsMenu(ResultViewModel &model, QWidget *parent = nullptr);

private:
    void rebuild();
    void showAvailability();

    ResultViewModel &m_model;
};
