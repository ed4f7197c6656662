// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsPage.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"

namespace SettingsPages {

const QList<SettingsPage> &all()
{
    static const QList<SettingsPage> pages = {SettingsPage::general, SettingsPage::recognition,
                                              SettingsPage::about};
    return pages;
}

QString rawValue(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return QStringLiteral("general");
    case SettingsPage::recognition:
        return QStringLiteral("recognition");
    case SettingsPage::about:
        return QStringLiteral("about");
    }
    Q_UNREACHABLE();
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
    switch (page) {
    case SettingsPage::general:
        return QStringLiteral("General");
    case SettingsPage::recognition:
        return QStringLiteral("Recognition");
    case SettingsPage::about:
        return QStringLiteral("About");
    }
    Q_UNREACHABLE();
}

QString symbol(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return QStringLiteral("gearshape.fill");
    case SettingsPage::recognition:
        return QStringLiteral("text.viewfinder");
    case SettingsPage::about:
        return QStringLiteral("info.circle.fill");
    }
    Q_UNREACHABLE();
}

QColor tint(SettingsPage page)
{
    switch (page) {
    case SettingsPage::general:
        return SettingsIcon::gray;
    case SettingsPage::recognition:
        return SettingsIcon::indigo;
    case SettingsPage::about:
        return SettingsIcon::blue;
    }
    Q_UNREACHABLE();
}

} // namespace SettingsPages
