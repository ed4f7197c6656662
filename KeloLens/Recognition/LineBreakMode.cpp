// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LineBreakMode.h"

QString rawValue(LineBreakMode mode)
{
    switch (mode) {
    case LineBreakMode::keepLines:
        return QStringLiteral("keepLines");
    case LineBreakMode::joinParagraphs:
        return QStringLiteral("joinParagraphs");
    }
    return {};
}

QList<LineBreakMode> allLineBreakModes()
{
    return {LineBreakMode::keepLines, LineBreakMode::joinParagraphs};
}

QString title(LineBreakMode mode)
{
    switch (mode) {
    case LineBreakMode::keepLines:
        return QStringLiteral("Keep source lines");
    case LineBreakMode::joinParagraphs:
        return QStringLiteral("Join into paragraphs");
    }
    return {};
}
