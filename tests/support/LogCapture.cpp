// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/LogCapture.h"

#include <atomic>

namespace KeloTest {

namespace {
// The message handler is a plain function, so it finds the capture through this.
std::atomic<LogCapture *> current = nullptr;
} // namespace

LogCapture::LogCapture()
    : m_outer(current.exchange(this)), m_previous(qInstallMessageHandler(collect))
{
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(m_previous);
    current = m_outer;
}

QStringList LogCapture::lines() const
{
    const QMutexLocker lock(&m_mutex);
    return m_lines;
}

void LogCapture::collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (LogCapture *capture = current.load()) {
        const QMutexLocker lock(&capture->m_mutex);
        capture->m_lines.append(message);
    }
}

} // namespace KeloTest
