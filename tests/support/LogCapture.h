// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMutex>
#include <QStringList>
#include <QtGlobal>

namespace KeloTest {

// Collects the log lines emitted, from any thread, while it lives, instead of printing them.
// Captures nest: the innermost one collects, and the previous handler is back once it goes.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    [[nodiscard]] QStringList lines() const;

private:
    static void collect(QtMsgType type, const QMessageLogContext &context, const QString &message);

    LogCapture *m_outer;
    QtMessageHandler m_previous;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

} // namespace KeloTest
