// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/ChildProcess.h"

#include <QProcess>

#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace KeloPlatform::ChildProcess {
namespace {

// The group when the child has made it, else the child alone (it has not got that far yet).
void signalGroup(pid_t pid, int signalNumber)
{
    if (pid <= 0) {
        return;
    }
    if (::kill(-pid, signalNumber) != 0) {
        ::kill(pid, signalNumber);
    }
}

} // namespace

void confine(QProcess &process)
{
    const pid_t parent = ::getpid();
    process.setChildProcessModifier([parent] {
        ::setpgid(0, 0);
        // Parent death is reported to the thread that forked; this process forks from the main
        // thread, which lives as long as the process does.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        // The parent may have died before the line above took effect.
        if (::getppid() != parent) {
            ::_exit(127);
        }
    });
}

void stop(QProcess &process, std::chrono::milliseconds grace)
{
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    const pid_t pid = pid_t(process.processId());
    signalGroup(pid, SIGTERM);
    if (!process.waitForFinished(int(grace.count()))) {
        signalGroup(pid, SIGKILL);
        process.waitForFinished(5000);
    }
    // Helpers the program started may ignore SIGTERM and outlive it; the group still names them.
    ::kill(-pid, SIGKILL);
}

} // namespace KeloPlatform::ChildProcess
