// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/ImageReading.h"

#include <QFuture>
#include <QFutureWatcher>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <coroutine>
#include <optional>

// One run of the region tool, from its start to the decoded image, that can be ended at any
// moment. The capture coroutine suspends on it; whatever ends a wait (the tool ending, its time
// running out, the image decoded, a cancel) resumes the coroutine exactly once. Waits end in a
// later turn of the event loop, never inside a signal of the objects the coroutine then destroys;
// only cancel() resumes at once, because at exit no event loop may turn again. Main thread only.
class CaptureToolRun
{
public:
    // How the tool's part ended.
    enum class ToolEnd {
        exited,        // exitCode() is its status
        crashed,       // killed by a signal it was not sent here; exitCode() is the signal
        failedToStart, // errorString() says why
        timedOut,      // stopped here after running too long
    };

    // How long a stopped tool gets to end by itself before it is killed.
    static constexpr std::chrono::milliseconds stopGrace{500};

    CaptureToolRun(const QString &program, const QStringList &arguments,
                   std::chrono::milliseconds timeout);
    // Stops a tool still running; resumes nobody.
    ~CaptureToolRun();
    CaptureToolRun(const CaptureToolRun &) = delete;
    CaptureToolRun &operator=(const CaptureToolRun &) = delete;

    class Wait
    {
    public:
        explicit Wait(CaptureToolRun &run, bool isDone) : m_run(&run), m_isDone(isDone) {}
        [[nodiscard]] bool await_ready() const { return m_isDone || m_run->isCancelled(); }
        void await_suspend(std::coroutine_handle<> handle) { m_run->m_waiting = handle; }
        void await_resume() const {}

    private:
        CaptureToolRun *m_run;
        bool m_isDone;
    };

    // Starts the tool and waits until its part has ended or the run is cancelled.
    [[nodiscard]] Wait toolEnded();
    // Waits until the image has been decoded or the run is cancelled.
    [[nodiscard]] Wait decoded(const QFuture<ImageReading::Outcome> &reading);

    // Stops the tool and resumes a waiting coroutine before returning; it then sees
    // isCancelled(). Later waits end at once.
    void cancel();

    [[nodiscard]] bool isCancelled() const { return m_isCancelled; }
    [[nodiscard]] std::optional<ToolEnd> toolEnd() const { return m_toolEnd; }
    [[nodiscard]] int exitCode() const { return m_exitCode; }
    [[nodiscard]] QString errorString() const { return m_errorString; }
    // What the tool printed on its error output (its last 4 KiB), trimmed.
    [[nodiscard]] QString errorOutput() const
    {
        return QString::fromLocal8Bit(m_errorOutput).trimmed();
    }
    [[nodiscard]] ImageReading::Outcome reading() const { return m_decoding.result(); }

private:
    void endTool(ToolEnd end);
    void onTimeout();
    // Resumes the waiting coroutine in a later turn of the event loop; dropped with this object.
    void wakeLater();
    void wakeNow();

    QObject m_context;
    QProcess m_process;
    QTimer m_deadline;
    QFutureWatcher<ImageReading::Outcome> m_decoding;
    std::coroutine_handle<> m_waiting;
    std::optional<ToolEnd> m_toolEnd;
    int m_exitCode = 0;
    QString m_errorString;
    static constexpr qsizetype maxErrorOutput = 4096;
    QByteArray m_errorOutput;
    bool m_isCancelled = false;
};
