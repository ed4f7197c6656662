// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

namespace KeloTest {

bool waitUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout)
{
    QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return true;
}

void processEventsFor(std::chrono::milliseconds duration)
{
    waitUntil([] { return false; }, duration);
}

QString runProgram(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout)
{
    QProcess process;
    process.start(program, arguments);
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeout)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

bool writeScript(const QString &path, const QString &body)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(("#!/bin/sh\n" + body + u'\n').toUtf8()) > 0 &&
           file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

ScopedEnvironment::ScopedEnvironment(const char *name, const std::optional<QByteArray> &value)
    : m_name(name)
{
    if (qEnvironmentVariableIsSet(name)) {
        m_previous = qgetenv(name);
    }
    if (value) {
        qputenv(name, *value);
    } else {
        qunsetenv(name);
    }
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_previous) {
        qputenv(m_name, *m_previous);
    } else {
        qunsetenv(m_name);
    }
}

} // namespace KeloTest
