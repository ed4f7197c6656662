// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QListWidget>

class SettingsRouter;

// The list of settings pages on the left of the window. Its selection follows the router and
// picking a row (also the selected one again) assigns that page; nothing can be deselected.
class SettingsSidebar final : public QListWidget
{
    Q_OBJECT

public:
    explicit SettingsSidebar(SettingsRouter &router, QWidget *parent = nullptr);

    static constexpr int fixedWidth = 220;

private:
    void showPage();

    SettingsRouter &m_router;
};
