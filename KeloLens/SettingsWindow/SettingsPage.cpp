// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsPage.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"

namespace SettingsPages {

const QList<SettingsPage> &all()
{
    static const QList<SettingsPage> pages = {SettingsPage::general, SettingsPage::recognition};
    return pages;
}

QString rawValue(SettingsPage page)
{
    return page == SettingsPage::general ? QStringLiteral("general")
                                         : QStringLiteral("recognition");
}

std::optional<SettingsPage> fromRawValue(const QString &rawValue)
{
    for (const SettingsPage page : all()) {
        if (SettingsPages::rawValue(page) == rawValue) {
            return page;
        }
    }
    return std::nullopt;
}

QString title(SettingsPage page)
{
    return page == SettingsPage::general ? QStringLiteral("General")
                                         : QStringLiteral("Recognition");
}

QString symbol(SettingsPage page)
{
    return page == SettingsPage::general ? QStringLiteral("gearshape.fill")
                                         : QStringLiteral("text.viewfinder");
}

QColor tint(SettingsPage page)
{
    return page == SettingsPage::general ? SettingsIcon::gray : SettingsIcon::indigo;
}

} // namespace SettingsPages
