// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsServices.h"

#include <QDesktopServices>

bool SettingsServices::open(const QUrl &url) const
{
    return openUrl ? openUrl(url) : QDesktopServices::openUrl(url);
}
