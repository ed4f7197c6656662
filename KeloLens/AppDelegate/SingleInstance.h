// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

// One running KeloLens per user session. The first process takes a lock in the user's runtime
// folder and listens on a socket next to it (owner-only); a later launch finds the lock taken,
// hands its request to the running instance over the socket and leaves. A lock or socket left
// by a crashed instance is taken over, never obeyed: the lock records its owner's process, and
// a dead owner frees it. Main thread only.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    enum class Role {
        // This process is the running instance; requests arrive through requestReceived.
        primary,
        // Another instance runs and took the request.
        secondary,
        // Neither: the runtime folder is unusable, or the running instance did not answer.
        failed,
    };

    // `folder` is where the lock and the socket live; the user's runtime folder by default.
    explicit SingleInstance(QString folder = defaultFolder(), QObject *parent = nullptr);
    ~SingleInstance() override;

    // Becomes the running instance, or hands `request` to the one that runs. Waits at most a
    // couple of seconds for another instance's answer.
    [[nodiscard]] Role start(const QByteArray &request);

    // What went wrong when start() failed, for the log.
    [[nodiscard]] QString errorString() const { return m_error; }

    // $XDG_RUNTIME_DIR (or Qt's fallback for it).
    [[nodiscard]] static QString defaultFolder();

Q_SIGNALS:
    // A later launch's request ("reopen", "capture", "capture-code"), on the main thread.
    void requestReceived(const QByteArray &request);

private:
    void acceptConnections();

    QString m_folder;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    QString m_error;
};
