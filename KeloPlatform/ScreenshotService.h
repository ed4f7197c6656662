// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace KeloPlatform {

// What an interactive screenshot left behind.
struct Screenshot
{
    enum class Status {
        // The user selected something; the image is at `path`.
        saved,
        // The user ended the selection without taking anything.
        cancelled,
        // Nothing was taken; `message` says why, in words for the user.
        failed,
    };

    Status status = Status::failed;
    QString path;
    // The file was made for this request alone, so the caller deletes it once read. A file that
    // existed before (a document the desktop handed back) is the user's and is left alone.
    bool isOwnedByCaller = false;
    QString message;

    bool operator==(const Screenshot &) const = default;
};

// The desktop's own screenshot service, which lets the user select what to take (a region, a
// window, a screen) with its own interface. Main thread only.
class ScreenshotService
{
public:
    virtual ~ScreenshotService() = default;

    // Whether the session offers the service. Asked once and remembered.
    [[nodiscard]] virtual bool isAvailable() const = 0;

    // What the desktop has stored about this application's screenshot permission: false when the
    // user refused it, true when granted, absent when nothing is stored (the desktop then asks at
    // the first capture) or the store cannot be read.
    [[nodiscard]] virtual std::optional<bool> storedPermission() const = 0;

    // Whether a refusal stored for this application can be forgotten from here.
    [[nodiscard]] virtual bool canForgetRefusal() const { return false; }
    // Forgets a stored refusal, so that the desktop asks again at the next screenshot. False
    // when nothing was forgotten.
    virtual bool forgetRefusal() { return false; }

    // Lets the user take a screenshot; suspends until the desktop answers, the user cancels, or
    // the service gives up waiting.
    virtual QCoro::Task<Screenshot> takeInteractive() = 0;
};

} // namespace KeloPlatform
