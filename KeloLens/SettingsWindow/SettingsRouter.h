// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/SettingsWindow/SettingsPage.h"

#include <QObject>

#include <functional>

// Which settings page is selected, shared by the sidebar, the detail area and the window. Every
// assignment runs onChange (the window sets its title again even for the same page); views are
// told through pageChanged only when the page actually changes. Main thread only.
class SettingsRouter final : public QObject
{
    Q_OBJECT

public:
    explicit SettingsRouter(SettingsPage page = SettingsPage::general, QObject *parent = nullptr)
        : QObject(parent), m_page(page)
    {
    }

    [[nodiscard]] SettingsPage page() const { return m_page; }
    void setPage(SettingsPage page)
    {
        const bool isChange = page != m_page;
        m_page = page;
        if (onChange) {
            onChange(m_page);
        }
        if (isChange) {
            Q_EMIT pageChanged(m_page);
        }
    }

    std::function<void(SettingsPage)> onChange;

Q_SIGNALS:
    void pageChanged(SettingsPage page);

private:
    SettingsPage m_page;
};
