// SPDX-License-Identifier: GPL-3.0-or-later
#include "OverlayShots.h"

#include "KeloLens/Selection/OverlaySelector.h"
#include "KeloLens/Selection/SelectionOverlay.h"
#include "KeloLens/Selection/SelectionState.h"
#include "KeloPlatform/Platform.h"
#include "Shots.h"

#include <QCoro/QCoroTask>

#include <cstdio>

bool saveSelectionOverlay(KeloPlatform::Platform &platform, const QDir &folder,
                          const QString &suffix)
{
    settle();
    const KeloPlatform::ScreenContents contents = QCoro::waitFor(platform.screenReader->read());
    if (!contents.failure.isEmpty()) {
        std::fprintf(stderr, "KeloLens: %s\n", qPrintable(contents.failure));
        return false;
    }
    OverlaySelector selector;
    // Runs until the user would select; cancelled below, it ends.
    QCoro::Task<std::optional<ExactRect>> selecting = selector.select(contents.monitors);
    // Over the first lines of the page, the pointer still moving.
    selector.state()->hover({84, 76});
    selector.state()->press({84, 76});
    selector.state()->drag({470, 166});
    selector.refresh();
    QList<const QWidget *> windows;
    for (const SelectionOverlay *overlay : selector.overlays()) {
        windows << overlay;
    }
    const bool isSaved =
        save(windows, folder.filePath(QStringLiteral("selection-%1.png").arg(suffix)));
    selector.cancel();
    return isSaved && selecting.isReady();
}
