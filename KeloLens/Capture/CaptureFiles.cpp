// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CaptureFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QUuid>

namespace CaptureFiles {

std::optional<QString> ensurePrivateFolder(const QString &folder)
{
    if (folder.isEmpty()) {
        return QStringLiteral("this user has no cache folder");
    }
    if (!QDir().mkpath(folder)) {
        return QStringLiteral("%1 cannot be created").arg(folder);
    }
    if (!QFileInfo(folder).isDir()) {
        return QStringLiteral("%1 is not a folder").arg(folder);
    }
    if (!QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        return QStringLiteral("%1 cannot be made private").arg(folder);
    }
    return std::nullopt;
}

QString newCapturePath(const QString &folder)
{
    return folder + QStringLiteral("/capture-") +
           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".png");
}

QImage readImage(const QString &path)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    return reader.read();
}

Remover::~Remover()
{
    const QFileInfo info(m_path);
    if (info.isDir() && !info.isSymLink()) {
        QDir(m_path).removeRecursively();
    } else {
        QFile::remove(m_path);
    }
}

} // namespace CaptureFiles
