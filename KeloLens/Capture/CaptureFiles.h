// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureOutcome.h"
#include "KeloLens/Recognition/ImageReading.h"

#include <QString>

#include <optional>

// The private captures folder and the files every capturer keeps there only until it has been
// read, whoever made them (a region tool, the desktop's screenshot service).
namespace CaptureFiles {

// <user cache folder>/app.kelolens.KeloLens/captures (empty when there is no cache folder).
[[nodiscard]] QString defaultFolder();

// Creates the folder (and its parents) and makes it readable by this user alone: captures are
// screen contents. Absent on success, otherwise the failure the capture ends with.
[[nodiscard]] std::optional<CaptureFailed> ensurePrivateFolder(const QString &folder);

// A fresh, unique file path in the folder: capture-<UUID>.png.
[[nodiscard]] QString newCapturePath(const QString &folder);

// The failure a capture ends with when its file, read with ImageReading::read (by content, within
// its memory cap: whatever wrote the file may have gone wrong), could not be read; absent when it
// was.
[[nodiscard]] std::optional<CaptureFailed> readFailure(const ImageReading::Outcome &read);

// Deletes the capture files an earlier run left behind (it was killed or crashed mid-capture);
// other files in the folder stay. Returns how many went.
int removeLeftovers(const QString &folder);

// Deletes whatever is at its path when it goes: the tool may have left a file, a folder, or
// nothing. Errors are ignored.
class Remover
{
public:
    explicit Remover(QString path) : m_path(std::move(path)) {}
    ~Remover();
    Remover(const Remover &) = delete;
    Remover &operator=(const Remover &) = delete;

private:
    QString m_path;
};

} // namespace CaptureFiles
