// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CaptureToolRun.h"

#include "KeloPlatform/ChildProcess.h"

#include <QMetaObject>

CaptureToolRun::CaptureToolRun(const QString &program, const QStringList &arguments,
                               std::chrono::milliseconds timeout)
{
    m_process.setProgram(program);
    m_process.setArguments(arguments);
    // What the tool says on its error output explains a capture it could not take; its ordinary
    // output is not read.
    m_process.setStandardInputFile(QProcess::nullDevice());
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.setReadChannel(QProcess::StandardError);
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_context, [this] {
        m_errorOutput += m_process.readAllStandardError();
        // A tool gone wrong could print without end: the last lines are the telling ones.
        if (m_errorOutput.size() > maxErrorOutput) {
            m_errorOutput.remove(0, m_errorOutput.size() - maxErrorOutput);
        }
    });
    KeloPlatform::ChildProcess::confine(m_process);

    QObject::connect(&m_process, &QProcess::finished, &m_context,
                     [this](int exitCode, QProcess::ExitStatus status) {
                         m_exitCode = exitCode;
                         endTool(status == QProcess::CrashExit ? ToolEnd::crashed
                                                               : ToolEnd::exited);
                     });
    QObject::connect(&m_process, &QProcess::errorOccurred, &m_context,
                     [this](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) {
                             m_errorString = m_process.errorString();
                             endTool(ToolEnd::failedToStart);
                         }
                     });
    m_deadline.setSingleShot(true);
    m_deadline.setInterval(timeout);
    QObject::connect(&m_deadline, &QTimer::timeout, &m_context, [this] { onTimeout(); });
    QObject::connect(&m_decoding, &QFutureWatcher<ImageReading::Outcome>::finished, &m_context,
                     [this] { wakeLater(); });
}

CaptureToolRun::~CaptureToolRun()
{
    // No slot of ours may run while the members go.
    QObject::disconnect(&m_process, nullptr, &m_context, nullptr);
    KeloPlatform::ChildProcess::stop(m_process, stopGrace);
}

CaptureToolRun::Wait CaptureToolRun::toolEnded()
{
    if (!m_isCancelled && !m_toolEnd && m_process.state() == QProcess::NotRunning) {
        m_process.start();
        m_deadline.start();
    }
    return Wait(*this, m_toolEnd.has_value());
}

CaptureToolRun::Wait CaptureToolRun::decoded(const QFuture<ImageReading::Outcome> &reading)
{
    m_decoding.setFuture(reading);
    return Wait(*this, m_decoding.isFinished());
}

void CaptureToolRun::cancel()
{
    if (m_isCancelled) {
        return;
    }
    m_isCancelled = true;
    m_deadline.stop();
    QObject::disconnect(&m_process, nullptr, &m_context, nullptr);
    KeloPlatform::ChildProcess::stop(m_process, stopGrace);
    wakeNow();
}

void CaptureToolRun::endTool(ToolEnd end)
{
    if (m_toolEnd) {
        return;
    }
    m_toolEnd = end;
    m_deadline.stop();
    wakeLater();
}

void CaptureToolRun::onTimeout()
{
    if (m_toolEnd) {
        return;
    }
    m_toolEnd = ToolEnd::timedOut;
    QObject::disconnect(&m_process, nullptr, &m_context, nullptr);
    KeloPlatform::ChildProcess::stop(m_process, stopGrace);
    wakeLater();
}

void CaptureToolRun::wakeLater()
{
    QMetaObject::invokeMethod(
        &m_context, [this] { wakeNow(); }, Qt::QueuedConnection);
}

void CaptureToolRun::wakeNow()
{
    if (const std::coroutine_handle<> waiting = std::exchange(m_waiting, {})) {
        waiting.resume();
    }
}
