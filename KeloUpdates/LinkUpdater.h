// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloUpdates/Updater.h"

#include <QUrl>

#include <functional>

// No in-app check: asking for one opens the changelog page in the browser.
class LinkUpdater final : public Updater
{
public:
    using UrlOpener = std::function<bool(const QUrl &)>;

    // The opener defaults to the desktop's (QDesktopServices).
    explicit LinkUpdater(QUrl changelogUrl, UrlOpener openUrl = {});

    [[nodiscard]] bool isAvailable() const override { return false; }
    void checkForUpdates() override;

    [[nodiscard]] const QUrl &changelogUrl() const { return m_changelogUrl; }

private:
    QUrl m_changelogUrl;
    UrlOpener m_openUrl;
};
