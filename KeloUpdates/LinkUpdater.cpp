// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/LinkUpdater.h"

#include <QDesktopServices>

LinkUpdater::LinkUpdater(QUrl changelogUrl, UrlOpener openUrl)
    : m_changelogUrl(std::move(changelogUrl)), m_openUrl(std::move(openUrl))
{
    if (!m_openUrl) {
        m_openUrl = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
    }
}

void LinkUpdater::checkForUpdates()
{
    m_openUrl(m_changelogUrl);
}
