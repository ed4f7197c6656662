// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoro/QCoroTask>
#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

namespace KeloPlatform {

// What one monitor showed when the screen was read.
struct MonitorImage
{
    // Qt's name for the monitor (QScreen::name()).
    QString name;
    // Where the monitor is, in Qt's global coordinates (device-independent pixels).
    QRect geometry;
    // Its pixels, usually the geometry's size times the monitor's device-pixel ratio. The ratio of
    // the image's width to the geometry's is what maps one onto the other.
    QImage image;
};

// The whole screen, once; or why it could not be read.
struct ScreenContents
{
    QList<MonitorImage> monitors;
    // Why nothing was read, in words for the user; empty when the monitors were read.
    QString failure;
};

// Why the screen could not be read, in the words every reader puts it to the user.
[[nodiscard]] inline QString screenReadFailure(const QString &why)
{
    return QStringLiteral("Couldn't read the screen: %1").arg(why);
}

// Reads every monitor into memory at once, without the user selecting anything and without a
// file on disk where the session allows it. Main thread only.
class ScreenReader
{
public:
    virtual ~ScreenReader() = default;

    // Whether this session lets the application read the whole screen without asking the user
    // each time. Asked at every capture: a desktop's stored permission may change.
    [[nodiscard]] virtual bool canRead() const = 0;

    // Reads every monitor Qt knows of; fails, with a message, when any of them cannot be read.
    virtual QCoro::Task<ScreenContents> read() = 0;

    // Whether the desktop can be asked, once, to let the application read the screen from now on
    // (GNOME asks that only of the application in front, so the question is put from a window of
    // ours that has the focus).
    [[nodiscard]] virtual bool canAskForAccess() const { return false; }
    // Asks it; true when the screen can be read now. The desktop keeps the answer.
    virtual QCoro::Task<bool> askForAccess() { co_return false; }
};

} // namespace KeloPlatform
