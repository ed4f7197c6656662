#include "KeloPlatform/LoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Each test gets its own XDG config home; the previous value is put back afterwards.
class LoginItemTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_configHome.isValid());
        m_hadValue = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        m_oldValue = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", m_configHome.path().toUtf8());
    }
    void TearDown() override
    {
        if (m_hadValue) {
            qputenv("XDG_CONFIG_HOME", m_oldValue);
        } else {
            qunsetenv("XDG_CONFIG_HOME");
        }
    }

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
    bool m_hadValue = false;
    QByteArray m_oldValue;
};

} // namespace

TEST_F(LoginItemTest, RegisteringWritesAnAutostartEntryForTheBinaryAndRemovingUnregisters)
{
    const LoginItem item(QString::fromLatin1(LoginItem::defaultEntryFileName),
                         QStringLiteral("/opt/KeloLens/bin/kelolens"));
    EXPECT_EQ(item.entryPath(), entryPath());
    EXPECT_FALSE(item.isEnabled());

    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    const QByteArray contents = entry();
    EXPECT_TRUE(contents.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(contents.contains("\nType=Application\n"));
    EXPECT_TRUE(contents.contains("\nExec=/opt/KeloLens/bin/kelolens\n"));
    EXPECT_FALSE(contents.contains("Hidden"));
    // The atomic write leaves no temporary file next to the entry.
    EXPECT_EQ(QDir(QFileInfo(entryPath()).absolutePath()).entryList(QDir::Files).size(), 1);

    // Registering again rewrites the entry; unregistering twice is not an error.
    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(entryPath()));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
}

TEST_F(LoginItemTest, TheRunningBinaryIsUsedWhenNoPathIsGiven)
{
    const LoginItem item;
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(entry().contains(
        "Exec=" + LoginItem::execValue(QCoreApplication::applicationFilePath()).toUtf8() + "\n"));
}

TEST_F(LoginItemTest, AnEntryMarkedHiddenCountsAsOff)
{
    const LoginItem item;
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden=true\n");
    EXPECT_FALSE(item.isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden = true\n");
    EXPECT_FALSE(item.isEnabled());
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden=false\n");
    EXPECT_TRUE(item.isEnabled());
    // Only the main group's key counts.
    writeEntry("[Desktop Entry]\nExec=kelolens\n[Desktop Action x]\nHidden=true\n");
    EXPECT_TRUE(item.isEnabled());
    // Turning it on replaces the hidden entry with a visible one.
    writeEntry("[Desktop Entry]\nType=Application\nExec=kelolens\nHidden=true\n");
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
}

TEST_F(LoginItemTest, ExecQuotesAndEscapesAsDesktopEntriesRequire)
{
    EXPECT_EQ(LoginItem::execValue(QStringLiteral("/usr/bin/kelolens")),
              QStringLiteral("/usr/bin/kelolens"));
    EXPECT_EQ(LoginItem::execValue(QStringLiteral("/home/a b/kelolens")),
              QStringLiteral("\"/home/a b/kelolens\""));
    // Inside quotes ", `, $ and \ take a backslash; the string value then doubles every
    // backslash; a percent sign is doubled so it does not start a field code.
    EXPECT_EQ(LoginItem::execValue(QStringLiteral("/x/\"q\"/$HOME/`c`/b\\s/100%")),
              QStringLiteral("\"/x/\\\\\"q\\\\\"/\\\\$HOME/\\\\`c\\\\`/b\\\\\\\\s/100%%\""));
    EXPECT_EQ(LoginItem::execValue(QStringLiteral("/tmp/50%/kelolens")),
              QStringLiteral("/tmp/50%%/kelolens"));
    // A newline in the path cannot break the entry into two lines.
    EXPECT_FALSE(LoginItem::execValue(QStringLiteral("/tmp/a\nb")).contains(u'\n'));
    EXPECT_EQ(LoginItem::entryContents(QStringLiteral("/tmp/a\nHidden=true")).count('\n'), 7);
}

TEST_F(LoginItemTest, AFailedWriteOrRemovalGivesTheReason)
{
    const LoginItem item;
    // A plain file where the autostart folder belongs.
    QFile blocker(m_configHome.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::optional<QString> writeError = item.setEnabled(true);
    ASSERT_TRUE(writeError.has_value());
    EXPECT_FALSE(writeError->isEmpty());
    EXPECT_FALSE(item.isEnabled());

    // A folder in the entry's place cannot be removed as a file.
    QFile::remove(blocker.fileName());
    QDir().mkpath(entryPath());
    const std::optional<QString> removeError = item.setEnabled(false);
    ASSERT_TRUE(removeError.has_value());
    EXPECT_FALSE(removeError->isEmpty());
}
