// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/FeedUpdater.h"

#include "KeloCore/AppInfo.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

namespace {

// A one-page web server on loopback: answers every GET with the same status and body.
class FeedServer
{
public:
    FeedServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    m_request += socket->readAll();
                    if (!m_request.contains("\r\n\r\n")) {
                        return;
                    }
                    ++m_requestCount;
                    m_request.clear();
                    socket->write("HTTP/1.1 " + m_status +
                                  "\r\nContent-Type: application/xml\r\n"
                                  "Content-Length: " +
                                  QByteArray::number(m_body.size()) +
                                  "\r\nConnection: close\r\n\r\n" + m_body);
                    socket->disconnectFromHost();
                });
            }
        });
    }

    void serve(QByteArray status, QByteArray body)
    {
        m_status = std::move(status);
        m_body = std::move(body);
    }
    [[nodiscard]] QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(m_server.serverPort()));
    }
    [[nodiscard]] int requestCount() const { return m_requestCount; }

private:
    QTcpServer m_server;
    QByteArray m_request;
    QByteArray m_status = "200 OK";
    QByteArray m_body;
    int m_requestCount = 0;
};

QByteArray feedWithNewest(const QByteArray &version)
{
    return R"(<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel><item><title>Old</title><sparkle:version>0.0.1</sparkle:version></item>
<item><title>New</title><sparkle:version>)" +
           version + R"(</sparkle:version><link>https://example.org/download</link>
<description>Notes</description></item></channel></rss>)";
}

struct Checker
{
    explicit Checker(const QUrl &feed, const QString &key = QStringLiteral("a-real-key"))
        : updater({feed, key, QStringLiteral("0.1.0")},
                  [this](const UpdateCheckResult &result) { results.append(result); })
    {
    }

    // Checks and waits for the one outcome.
    UpdateCheckResult check()
    {
        const qsizetype before = results.size();
        updater.checkForUpdates();
        EXPECT_TRUE(KeloTest::waitUntil([&] { return results.size() > before; }));
        return results.isEmpty() ? UpdateCheckResult{} : results.last();
    }

    QList<UpdateCheckResult> results;
    FeedUpdater updater;
};

} // namespace

TEST(FeedUpdater, NotStartedAnswersWithoutTouchingTheNetwork)
{
    FeedServer server;
    server.serve("200 OK", feedWithNewest("9.0"));
    for (const QString &key : {QString(), QStringLiteral("REPLACE_ME")}) {
        Checker checker(server.url(), key);
        EXPECT_TRUE(checker.updater.isAvailable());
        EXPECT_FALSE(checker.updater.isStarted());
        EXPECT_EQ(checker.check().kind, UpdateCheckResult::Kind::notStarted);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(server.requestCount(), 0);
    // A default build carries the placeholder key, so it never checks.
    EXPECT_FALSE(FeedUpdater::shouldStart(AppInfo::fromBuild().updatePublicKey));
}

TEST(FeedUpdater, ComparesTheFeedsNewestReleaseWithOurs)
{
    FeedServer server;
    Checker checker(server.url());

    server.serve("200 OK", feedWithNewest("0.2.0"));
    const UpdateCheckResult newer = checker.check();
    EXPECT_EQ(newer.kind, UpdateCheckResult::Kind::updateAvailable);
    ASSERT_TRUE(newer.newest);
    EXPECT_EQ(newer.newest->displayVersion(), "0.2.0");
    EXPECT_EQ(newer.newest->downloadPage, QUrl("https://example.org/download"));

    server.serve("200 OK", feedWithNewest("0.1.0"));
    EXPECT_EQ(checker.check().kind, UpdateCheckResult::Kind::upToDate);
    EXPECT_EQ(server.requestCount(), 2);
}

TEST(FeedUpdater, ReportsUnreachableOrUnreadableFeeds)
{
    FeedServer server;
    Checker checker(server.url());

    server.serve("404 Not Found", "<html>gone</html>");
    const UpdateCheckResult result = checker.check();
    EXPECT_EQ(result.kind, UpdateCheckResult::Kind::failed);
    EXPECT_TRUE(result.message.contains("404")) << result.message.toStdString();

    // Nothing listens on port 1 of loopback.
    Checker nowhere(QUrl("http://127.0.0.1:1/appcast.xml"));
    EXPECT_EQ(nowhere.check().kind, UpdateCheckResult::Kind::failed);

    Checker notWeb(QUrl("file:///etc/hostname"));
    EXPECT_EQ(notWeb.check().kind, UpdateCheckResult::Kind::failed);
}
