// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/SingleInstance.h"

#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent>

#include <gtest/gtest.h>

TEST(SingleInstance, ALaterLaunchHandsItsRequestToTheRunningOne)
{
    QTemporaryDir folder;
    SingleInstance running(folder.path());
    ASSERT_EQ(running.start("reopen"), SingleInstance::Role::primary);
    QSignalSpy received(&running, &SingleInstance::requestReceived);

    // The second launch blocks while it waits for the answer, as a second process would; the
    // running instance answers from its event loop.
    QFuture<SingleInstance::Role> second = QtConcurrent::run([&] {
        SingleInstance later(folder.path());
        return later.start("capture");
    });
    ASSERT_TRUE(KeloTest::waitUntil([&] { return second.isFinished(); }));
    EXPECT_EQ(second.result(), SingleInstance::Role::secondary);
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.first().first().toByteArray(), QByteArray("capture"));

    // Only the user may talk to it.
    const QFile::Permissions socket =
        QFile(QDir(folder.path()).filePath("kelolens.socket")).permissions();
    EXPECT_FALSE(socket &
                 (QFile::ReadOther | QFile::WriteOther | QFile::ReadGroup | QFile::WriteGroup));
}

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
}
