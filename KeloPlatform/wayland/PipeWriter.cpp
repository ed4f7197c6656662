// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/PipeWriter.h"

#include <QTimer>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace KeloPlatform {
namespace {

using namespace std::chrono_literals;

constexpr auto readerTimeout = 10s;

} // namespace

void PipeWriter::start(int fd, std::shared_ptr<const QByteArray> data)
{
    auto *writer = new PipeWriter(fd, std::move(data));
    writer->writeSome();
}

PipeWriter::PipeWriter(int fd, std::shared_ptr<const QByteArray> data)
    : m_fd(fd), m_data(std::move(data)), m_notifier(fd, QSocketNotifier::Write)
{
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    m_notifier.setEnabled(false);
    QObject::connect(&m_notifier, &QSocketNotifier::activated, this, [this] { writeSome(); });
    QTimer::singleShot(readerTimeout, this, [this] { finish(); });
}

PipeWriter::~PipeWriter()
{
    ::close(m_fd);
}

void PipeWriter::writeSome()
{
    // A reader that closed its end must not kill this process with SIGPIPE: block the
    // signal for this thread while writing and take a pending one back.
    sigset_t pipeSignal;
    sigset_t previous;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
    bool isDone = false;
    while (m_offset < m_data->size()) {
        const ssize_t written =
            ::write(m_fd, m_data->constData() + m_offset, size_t(m_data->size() - m_offset));
        if (written > 0) {
            m_offset += written;
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        isDone = written < 0 && errno != EAGAIN;
        if (errno == EPIPE) {
            const timespec none{};
            sigtimedwait(&pipeSignal, nullptr, &none);
        }
        break;
    }
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (isDone || m_offset >= m_data->size()) {
        finish();
    } else {
        m_notifier.setEnabled(true);
    }
}

void PipeWriter::finish()
{
    m_notifier.setEnabled(false);
    deleteLater();
}

} // namespace KeloPlatform
