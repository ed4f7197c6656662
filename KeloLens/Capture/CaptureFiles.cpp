// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CaptureFiles.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QUuid>

#include <filesystem>
#include <system_error>

namespace {

Q_LOGGING_CATEGORY(lcCaptureFiles, "kelolens.capture")

std::filesystem::path fsPath(const QString &path)
{
    return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Removes a file, or a folder with its contents; a link, not what it points to.
bool removeAll(const QString &path)
{
    std::error_code error;
    return std::filesystem::remove_all(fsPath(path), error) > 0 && !error;
}

} // namespace

namespace CaptureFiles {

QString defaultFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty()) {
        return {};
    }
    return cache + QStringLiteral("/app.kelolens.KeloLens/captures");
}

std::optional<CaptureFailed> ensurePrivateFolder(const QString &folder)
{
    const auto failure = [](const QString &why) {
        return CaptureFailed{QStringLiteral("Couldn't create the capture folder: ") + why};
    };
    if (folder.isEmpty()) {
        return failure(QStringLiteral("this user has no cache folder"));
    }
    std::error_code error;
    std::filesystem::create_directories(fsPath(folder), error);
    if (error) {
        return failure(QString::fromStdString(error.message()));
    }
    if (!std::filesystem::is_directory(fsPath(folder), error)) {
        return failure(QStringLiteral("%1 is not a folder").arg(folder));
    }
    std::filesystem::permissions(fsPath(folder), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace, error);
    if (error) {
        return failure(QString::fromStdString(error.message()));
    }
    return std::nullopt;
}

QString newCapturePath(const QString &folder)
{
    return folder + QStringLiteral("/capture-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
}

std::optional<CaptureFailed> readFailure(const ImageReading::Outcome &read)
{
    if (read.isTooLarge) {
        return CaptureFailed{QStringLiteral("The capture couldn't be read: ") + read.error};
    }
    if (read.image.isNull()) {
        return CaptureFailed{QStringLiteral("The capture couldn't be read")};
    }
    return std::nullopt;
}

int removeLeftovers(const QString &folder)
{
    if (folder.isEmpty()) {
        return 0;
    }
    int removed = 0;
    const QDir directory(folder);
    const QStringList leftovers =
        directory.entryList({QStringLiteral("capture-*")},
                            QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    for (const QString &name : leftovers) {
        if (removeAll(directory.filePath(name))) {
            ++removed;
        }
    }
    if (removed > 0) {
        qCInfo(lcCaptureFiles).noquote()
            << QStringLiteral("KeloLens: deleted %1 capture file(s) left from an earlier run")
                   .arg(removed);
    }
    return removed;
}

Remover::~Remover()
{
    removeAll(m_path);
}

} // namespace CaptureFiles
