// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/TerminationSignals.h"

#include <QLoggingCategory>
#include <QPointer>
#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcSignals, "kelolens.platform")

constexpr std::array<int, 3> handledSignals{SIGTERM, SIGINT, SIGHUP};

// The write end of the self-pipe, or -1. A signal handler may only touch lock-free atomics.
std::atomic<int> g_writeEnd{-1};
static_assert(std::atomic<int>::is_always_lock_free);

std::array<struct sigaction, handledSignals.size()> g_previous{};

extern "C" void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const int fd = g_writeEnd.load();
    if (fd >= 0) {
        const unsigned char byte = static_cast<unsigned char>(signalNumber);
        // A full pipe already holds a wake-up; nothing else may be done here.
        [[maybe_unused]] const ssize_t ignored = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

TerminationSignals::TerminationSignals(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        qCWarning(lcSignals).noquote()
            << QStringLiteral("KeloLens: can't watch for termination signals: %1")
                   .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return;
    }
    int expected = -1;
    if (!g_writeEnd.compare_exchange_strong(expected, fds[1])) {
        ::close(fds[0]);
        ::close(fds[1]);
        qCWarning(lcSignals).noquote()
            << QStringLiteral("KeloLens: termination signals are watched elsewhere already");
        return;
    }
    m_readEnd = fds[0];

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the next signal of the kind ends the process even if shutdown hangs.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    for (size_t i = 0; i < handledSignals.size(); ++i) {
        ::sigaction(handledSignals[i], &action, &g_previous[i]);
    }
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readPending);
}

TerminationSignals::~TerminationSignals()
{
    if (m_readEnd < 0) {
        return;
    }
    for (size_t i = 0; i < handledSignals.size(); ++i) {
        ::sigaction(handledSignals[i], &g_previous[i], nullptr);
    }
    const int writeEnd = g_writeEnd.exchange(-1);
    ::close(writeEnd);
    delete m_notifier;
    ::close(m_readEnd);
}

void TerminationSignals::readPending()
{
    QList<int> pending;
    unsigned char buffer[16];
    ssize_t count = 0;
    while ((count = ::read(m_readEnd, buffer, sizeof buffer)) > 0) {
        pending.append(QList<int>(buffer, buffer + count));
    }
    // A receiver may delete this object; stop emitting then.
    const QPointer<TerminationSignals> self(this);
    for (int signalNumber : pending) {
        if (!self) {
            return;
        }
        Q_EMIT received(signalNumber);
    }
}

} // namespace KeloPlatform
