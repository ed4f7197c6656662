// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/XdgAutostartLoginItem.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using KeloPlatform::XdgAutostartLoginItem;

namespace {

// Each test gets its own XDG config home.
class LoginItemTest : public ::testing::Test
{
protected:
    QString entryPath() const
    {
        return m_configHome.filePath(QStringLiteral("autostart/app.kelolens.KeloLens.desktop"));
    }

    QByteArray entry() const
    {
        QFile file(entryPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void writeEntry(const QByteArray &contents) const
    {
        QDir().mkpath(QFileInfo(entryPath()).absolutePath());
        QFile file(entryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }

    QTemporaryDir m_configHome;
    KeloTest::ScopedEnvironment m_environment{"XDG_CONFIG_HOME", m_configHome.path().toUtf8()};
};

} // namespace

TEST_F(LoginItemTest, RegisteringWritesAnAutostartEntryAndUnregisteringRemovesIt)
{
    XdgAutostartLoginItem item;
    EXPECT_EQ(item.entryPath(), entryPath());
    EXPECT_FALSE(item.isEnabled());

    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    EXPECT_TRUE(entry().contains(
        "\nExec=" +
        XdgAutostartLoginItem::execValue(QCoreApplication::applicationFilePath()).toUtf8() + "\n"));
    // The atomic write leaves no temporary file next to the entry.
    EXPECT_EQ(QDir(QFileInfo(entryPath()).absolutePath()).entryList(QDir::Files).size(), 1);

    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(entryPath()));
    EXPECT_EQ(item.setEnabled(false), std::nullopt) << "unregistering twice is not an error";

    // An entry the user marked hidden is off; turning it on makes it visible again.
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden = true\n");
    EXPECT_FALSE(item.isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden=true\n");
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
}

TEST_F(LoginItemTest, ExecSurvivesUnusualPathsAndFailuresGiveTheReason)
{
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/home/a b/kelolens")),
              QStringLiteral("\"/home/a b/kelolens\""));
    // Inside quotes ", `, $ and \ take a backslash; the string value then doubles every
    // backslash; a percent sign is doubled so it does not start a field code.
    EXPECT_EQ(XdgAutostartLoginItem::execValue(QStringLiteral("/x/\"q\"/$HOME/`c`/b\\s/100%")),
              QStringLiteral("\"/x/\\\\\"q\\\\\"/\\\\$HOME/\\\\`c\\\\`/b\\\\\\\\s/100%%\""));
    // A newline in the path cannot smuggle a second key into the entry.
    EXPECT_EQ(XdgAutostartLoginItem::entryContents(QStringLiteral("/tmp/a\nHidden=true"))
                  .count("\nHidden"),
              0);

    XdgAutostartLoginItem item;
    // A plain file where the autostart folder belongs.
    QFile blocker(m_configHome.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::optional<QString> writeError = item.setEnabled(true);
    ASSERT_TRUE(writeError.has_value());
    EXPECT_FALSE(writeError->isEmpty());
    EXPECT_FALSE(item.isEnabled());
}
