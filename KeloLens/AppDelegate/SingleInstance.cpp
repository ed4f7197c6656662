// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/SingleInstance.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

namespace {

constexpr int answerTimeoutMs = 2000;
const QByteArray acknowledgement = QByteArrayLiteral("ok\n");

// Requests are one short line; anything longer is not ours.
constexpr qint64 maximumRequestLength = 256;

} // namespace

SingleInstance::SingleInstance(QString folder, QObject *parent)
    : QObject(parent), m_folder(std::move(folder))
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

SingleInstance::Role SingleInstance::start(const QByteArray &request)
{
    if (m_folder.isEmpty() || !QDir().mkpath(m_folder)) {
        m_error = QStringLiteral("no runtime folder");
        return Role::failed;
    }
    const QString lockPath = QDir(m_folder).filePath(QStringLiteral("kelolens.lock"));
    const QString socketPath = QDir(m_folder).filePath(QStringLiteral("kelolens.socket"));

    m_lock = std::make_unique<QLockFile>(lockPath);
    // Never time the lock out by age: the running instance holds it for days.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0)) {
        // Any socket left here belongs to a dead instance.
        QLocalServer::removeServer(socketPath);
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server->listen(socketPath)) {
            m_error = m_server->errorString();
            return Role::failed;
        }
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
        return Role::primary;
    }
    m_lock.reset();

    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(answerTimeoutMs)) {
        m_error =
            QStringLiteral("the running instance does not answer: %1").arg(socket.errorString());
        return Role::failed;
    }
    socket.write(request.left(maximumRequestLength - 1) + '\n');
    socket.flush();
    QByteArray answer;
    while (answer.size() < acknowledgement.size() && socket.waitForReadyRead(answerTimeoutMs)) {
        answer += socket.readAll();
    }
    if (answer != acknowledgement) {
        m_error = QStringLiteral("the running instance did not take the request");
        return Role::failed;
    }
    return Role::secondary;
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                if (socket->bytesAvailable() > maximumRequestLength) {
                    socket->abort();
                }
                return;
            }
            const QByteArray request = socket->readLine(maximumRequestLength).trimmed();
            socket->write(acknowledgement);
            socket->flush();
            socket->disconnectFromServer();
            Q_EMIT requestReceived(request);
        });
    }
}
