#include "KeloLens/Capture/SystemPermissionChecker.h"

#include <gtest/gtest.h>

namespace {

constexpr qint64 ownPid = 4242;

QVariantMap window(QVariant pid, QVariant owner, QVariant title, QVariant layer = {})
{
    QVariantMap map;
    const auto put = [&map](const char *key, const QVariant &value) {
        if (value.isValid()) {
            map.insert(QString::fromLatin1(key), value);
        }
    };
    put(SystemPermissionChecker::ownerPidKey, pid);
    put(SystemPermissionChecker::ownerNameKey, owner);
    put(SystemPermissionChecker::nameKey, title);
    put(SystemPermissionChecker::layerKey, layer);
    return map;
}

bool showsTitle(const QList<QVariantMap> &windows)
{
    return SystemPermissionChecker::otherAppShowsWindowTitle(windows, ownPid);
}

} // namespace

TEST(SystemPermissionChecker, UnderX11ScreenAccessIsAlwaysInForce)
{
    SystemPermissionChecker checker;
    checker.requestScreenRecording();
    checker.openScreenRecordingSettings();
    EXPECT_TRUE(checker.isScreenRecordingGranted());
}

TEST(SystemPermissionChecker, AnotherAppsOrdinaryTitledWindowProvesAccess)
{
    const QVariantMap editor = window(17, QStringLiteral("Editor"), QStringLiteral("notes.txt"), 0);
    EXPECT_TRUE(showsTitle({editor}));
    EXPECT_FALSE(showsTitle({}));
    EXPECT_FALSE(showsTitle({QVariantMap()}));

    // Our own windows, system components and the menu bar prove nothing.
    const QList<QVariantMap> systemOnly{
        window(ownPid, QStringLiteral("KeloLens"), QStringLiteral("Settings"), 0),
        window(20, QStringLiteral("Dock"), QStringLiteral("Dock"), 0),
        window(21, QStringLiteral("Window Server"), QStringLiteral("Menubar"), 24),
        window(22, QStringLiteral("Spotlight"), QStringLiteral("Spotlight"), 0),
        window(23, QStringLiteral("Notification Center"), QStringLiteral("NC"), 0),
        window(24, QStringLiteral("Control Center"), QStringLiteral("CC"), 0),
        window(25, QStringLiteral("SystemUIServer"), QStringLiteral("x"), 0),
    };
    EXPECT_FALSE(showsTitle(systemOnly));
    // Any window in the list may be the one, not only the first.
    EXPECT_TRUE(showsTitle(systemOnly + QList<QVariantMap>{editor}));
    // Owner names are compared exactly.
    EXPECT_TRUE(showsTitle({window(20, QStringLiteral("dock"), QStringLiteral("t"), 0)}));
}

TEST(SystemPermissionChecker, EachEntryMustHaveTheRightShape)
{
    const QString owner = QStringLiteral("Editor");
    const QString title = QStringLiteral("notes.txt");
    // Layer: a non-zero layer excludes; a missing or non-integer one does not.
    EXPECT_FALSE(showsTitle({window(17, owner, title, 3)}));
    EXPECT_TRUE(showsTitle({window(17, owner, title)}));
    EXPECT_TRUE(showsTitle({window(17, owner, title, QStringLiteral("3"))}));
    // The owner's process must be an integer.
    EXPECT_TRUE(showsTitle({window(qint64(17), owner, title, 0)}));
    EXPECT_FALSE(showsTitle({window(QStringLiteral("17"), owner, title, 0)}));
    EXPECT_FALSE(showsTitle({window(17.0, owner, title, 0)}));
    EXPECT_FALSE(showsTitle({window({}, owner, title, 0)}));
    // The owner name and the title must be strings, the title not empty.
    EXPECT_FALSE(showsTitle({window(17, {}, title, 0)}));
    EXPECT_FALSE(showsTitle({window(17, 5, title, 0)}));
    EXPECT_FALSE(showsTitle({window(17, owner, QString(), 0)}));
    EXPECT_FALSE(showsTitle({window(17, owner, {}, 0)}));
    EXPECT_FALSE(showsTitle({window(17, owner, QByteArray("notes"), 0)}));
}
