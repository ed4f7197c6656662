// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

TEST(SingleInstance, LeftoversOfACrashedInstanceAreTakenOver)
{
    QTemporaryDir folder;
    // A socket file nobody listens on, and a lock whose owner process is gone.
    QFile socket(QDir(folder.path()).filePath("kelolens.socket"));
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.close();
    QFile lock(QDir(folder.path()).filePath("kelolens.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("999999\nkelolens\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    lock.close();

    SingleInstance instance(folder.path());
    EXPECT_EQ(instance.start("reopen"), SingleInstance::Role::primary)
        << instance.errorString().toStdString();
    // Only the user may talk to it.
    EXPECT_FALSE(QFile(socket.fileName()).permissions() &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup));
}
