// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/HelperProcess.h"

#include "support/TestSupport.h"

namespace KeloTest {

HelperProcess::HelperProcess(const QString &program, const QStringList &arguments,
                             const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
        while (m_process.canReadLine()) {
            m_lines << QString::fromUtf8(m_process.readLine()).chopped(1);
        }
    });
    m_process.start(program, arguments);
}

HelperProcess::~HelperProcess()
{
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

std::optional<QString> HelperProcess::waitForLine(const QString &prefix,
                                                  std::chrono::milliseconds timeout)
{
    std::optional<QString> found;
    waitUntil(
        [&] {
            for (const QString &line : std::as_const(m_lines)) {
                if (line.startsWith(prefix)) {
                    found = line.mid(prefix.size());
                    return true;
                }
            }
            return false;
        },
        timeout);
    return found;
}

} // namespace KeloTest
