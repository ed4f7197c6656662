// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/SystemPermissionChecker.h"

#include "KeloPlatform/ScreenshotService.h"

namespace {

std::optional<qint64> integerValue(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return value.toLongLong();
    default:
        return std::nullopt;
    }
}

bool passes(const QVariantMap &window, qint64 ownPid)
{
    if (window.isEmpty()) {
        return false;
    }
    const std::optional<qint64> pid =
        integerValue(window.value(QString::fromLatin1(SystemPermissionChecker::ownerPidKey)));
    if (!pid || *pid == ownPid) {
        return false;
    }
    const QString layerKey = QString::fromLatin1(SystemPermissionChecker::layerKey);
    if (window.contains(layerKey)) {
        const std::optional<qint64> layer = integerValue(window.value(layerKey));
        if (layer && *layer != 0) {
            return false;
        }
    }
    const QVariant owner = window.value(QString::fromLatin1(SystemPermissionChecker::ownerNameKey));
    if (owner.typeId() != QMetaType::QString ||
        SystemPermissionChecker::excludedOwnerNames().contains(owner.toString())) {
        return false;
    }
    const QVariant name = window.value(QString::fromLatin1(SystemPermissionChecker::nameKey));
    return name.typeId() == QMetaType::QString && !name.toString().isEmpty();
}

} // namespace

bool SystemPermissionChecker::isScreenRecordingGranted() const
{
    return m_screenshots == nullptr || m_screenshots->storedPermission().value_or(true);
}

bool SystemPermissionChecker::isAskedAtCapture() const
{
    return m_screenshots != nullptr && m_screenshots->isAvailable() &&
           !m_screenshots->storedPermission().has_value();
}

void SystemPermissionChecker::requestScreenRecording() {}

void SystemPermissionChecker::openScreenRecordingSettings() {}

const QSet<QString> &SystemPermissionChecker::excludedOwnerNames()
{
    static const QSet<QString> names{
        QStringLiteral("Dock"),           QStringLiteral("Window Server"),
        QStringLiteral("Control Center"), QStringLiteral("Notification Center"),
        QStringLiteral("SystemUIServer"), QStringLiteral("Spotlight"),
    };
    return names;
}

bool SystemPermissionChecker::otherAppShowsWindowTitle(const QList<QVariantMap> &windows,
                                                       qint64 ownPid)
{
    for (const QVariantMap &window : windows) {
        if (passes(window, ownPid)) {
            return true;
        }
    }
    return false;
}
