// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace KeloPlatform {

// Writes the text into a reader's pipe without blocking the event loop, and gives up on a
// reader that stops reading. Owns the pipe's end from start() on, and deletes itself when done.
class PipeWriter : public QObject
{
public:
    static void start(int fd, std::shared_ptr<const QByteArray> data);

private:
    PipeWriter(int fd, std::shared_ptr<const QByteArray> data);
    ~PipeWriter() override;

    void writeSome();
    void finish();

    int m_fd;
    std::shared_ptr<const QByteArray> m_data;
    qsizetype m_offset = 0;
    QSocketNotifier m_notifier;
};

} // namespace KeloPlatform
