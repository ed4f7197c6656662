// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsPage.h"
#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QWidget>

class SettingsRouter;

// The right side of the settings window: the router's page, built afresh whenever the page
// changes (so its state lives only while it is shown).
class SettingsDetail final : public QWidget
{
    Q_OBJECT

public:
    SettingsDetail(SettingsRouter &router, const SettingsServices &services,
                   QWidget *parent = nullptr);

    static constexpr QSize minimumPageSize{480, 500};

    [[nodiscard]] QWidget *page() const { return m_page; }
    // The height the page shown needs at this width, so that it does not have to scroll.
    [[nodiscard]] int neededHeight(int width) const;
    // Whether the pages say how to capture without a tray; rebuilds the page shown.
    void setTrayMissing(bool isTrayMissing);

Q_SIGNALS:
    // Another page is shown (the window may have to grow for it).
    void pageShown();

private:
    void showPage(SettingsPage page);

    SettingsServices m_services;
    QWidget *m_page = nullptr;
};
