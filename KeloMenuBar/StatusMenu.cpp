// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloMenuBar/StatusMenu.h"

#include "KeloCore/AppInfo.h"
#include "KeloMenuBar/ClosureMenuItem.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QUrl>

void buildStatusMenu(QMenu &menu, const StatusMenuState &state, const StatusMenuActions &actions)
{
    // After a tab the shortcut goes in the menu's shortcut column, beside those of the other
    // items; it is the desktop's to catch, not the menu's.
    const QString captureTitle = state.registeredShortcut
                                     ? QStringLiteral("Capture Text\t") + *state.registeredShortcut
                                     : QStringLiteral("Capture Text");
    addItem(menu, captureTitle, {}, actions.captureText);
    addItem(menu, QStringLiteral("Capture Code"), {}, actions.captureCode);
    addItem(menu, QStringLiteral("Last Result"), {}, actions.showLastResult)
        ->setEnabled(state.hasLastResult);
    menu.addSeparator();
    addItem(menu, QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma),
            actions.openSettings);
    if (state.isUpdaterAvailable) {
        addItem(menu, QStringLiteral("Check for Updates…"), {}, actions.checkForUpdates);
    }
    auto openMakerWebsite = actions.openMakerWebsite;
    if (!openMakerWebsite) {
        openMakerWebsite = [] {
            QDesktopServices::openUrl(QUrl(AppInfo::fromBuild().makerWebsite));
        };
    }
    addItem(menu, QStringLiteral("More Kelo apps…"), {}, openMakerWebsite);
    menu.addSeparator();
    auto quit = actions.quit ? actions.quit : [] { QCoreApplication::quit(); };
    addItem(menu, QStringLiteral("Quit KeloLens"), QKeySequence(Qt::CTRL | Qt::Key_Q), quit);
}
