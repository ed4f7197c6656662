// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/qt/QtClipboard.h"

#include <QClipboard>
#include <QGuiApplication>

namespace KeloPlatform {

bool QtClipboard::writeText(const QString &text)
{
    QClipboard *clipboard = qGuiApp != nullptr ? QGuiApplication::clipboard() : nullptr;
    if (clipboard == nullptr) {
        return false;
    }
    clipboard->setText(text, QClipboard::Clipboard);
    return true;
}

bool QtClipboard::writeSelection(const QString &text)
{
    QClipboard *clipboard = qGuiApp != nullptr ? QGuiApplication::clipboard() : nullptr;
    if (clipboard == nullptr || !clipboard->supportsSelection()) {
        return false;
    }
    clipboard->setText(text, QClipboard::Selection);
    return clipboard->ownsSelection();
}

} // namespace KeloPlatform
