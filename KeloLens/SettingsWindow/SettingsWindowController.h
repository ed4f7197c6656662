// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsPage.h"
#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QSize>

#include <memory>
#include <optional>

class QWidget;
class SettingsDetail;
class SettingsRouter;
class SettingsSidebar;

// The one settings window: a 720 x 540 window with the page list on the left and the selected
// page on the right, titled after that page. It is not resizable; it grows taller for a page
// that would not fit (large fonts), as far as the screen allows. It is built on the first show and
// then only hidden and shown again, keeping its place and page for the rest of the run. Main thread
// only; the router and the services must outlive the controller.
class SettingsWindowController final
{
public:
    SettingsWindowController(SettingsRouter &router, SettingsServices services);
    ~SettingsWindowController();
    SettingsWindowController(const SettingsWindowController &) = delete;
    SettingsWindowController &operator=(const SettingsWindowController &) = delete;

    static constexpr QSize contentSize{720, 540};

    // Switches to the page when one is given, then brings the window to the front.
    void show(std::optional<SettingsPage> page = std::nullopt);

    // Where the session has no tray, the General page says how to capture.
    void setTrayMissing(bool isTrayMissing);

    // Absent until the first show.
    [[nodiscard]] QWidget *window() const { return m_window.get(); }
    [[nodiscard]] SettingsSidebar *sidebar() const { return m_sidebar; }
    [[nodiscard]] SettingsDetail *detail() const { return m_detail; }
    [[nodiscard]] SettingsRouter &router() const { return m_router; }

private:
    void build();
    void fitToPage();

    SettingsRouter &m_router;
    SettingsServices m_services;
    std::unique_ptr<QWidget> m_window;
    SettingsSidebar *m_sidebar = nullptr;
    SettingsDetail *m_detail = nullptr;
};
