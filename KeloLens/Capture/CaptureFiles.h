// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

#include <optional>

// The private captures folder and the files a capture keeps there only until it has been read.
namespace CaptureFiles {

// Creates the folder (and its parents) and makes it readable by this user alone: captures are
// screen contents. Absent on success, otherwise why it failed.
[[nodiscard]] std::optional<QString> ensurePrivateFolder(const QString &folder);

// A fresh, unique file path in the folder: capture-<UUID>.png.
[[nodiscard]] QString newCapturePath(const QString &folder);

// Decodes an image file by its content, within the image reader's memory limit: whatever wrote
// it may have gone wrong. A null image when it cannot be read.
[[nodiscard]] QImage readImage(const QString &path);

// Deletes its file, or anything that was put at its path, when it goes.
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
