// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QObject>

class QSocketNotifier;

namespace KeloPlatform {

// Turns the signals that ask this process to end (SIGTERM at logout, SIGINT from a terminal,
// SIGHUP when the terminal goes) into a Qt signal on the main thread, so the owner can quit
// through the event loop and let every destructor run. Only one instance can listen at a time:
// signal dispositions belong to the whole process. A second signal of the same kind, while the
// first is being handled, ends the process the default way, so a stuck shutdown can still be
// interrupted.
class TerminationSignals final : public QObject
{
    Q_OBJECT

public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when another instance listens already or the handlers could not be installed.
    [[nodiscard]] bool isListening() const { return m_notifier != nullptr; }

Q_SIGNALS:
    // Emitted in a later turn of the event loop, once per signal received.
    void received(int signalNumber);

private:
    void readPending();

    int m_readEnd = -1;
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace KeloPlatform
