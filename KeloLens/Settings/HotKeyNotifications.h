#pragma once

#include <QObject>

// The process-wide "KeloLensHotKeyChanged" notification: sent on every set of the capture
// shortcut, changed or not, so whoever owns the global registration can redo it.
class HotKeyNotifications : public QObject
{
    Q_OBJECT

public:
    static constexpr auto name = "KeloLensHotKeyChanged";

    [[nodiscard]] static HotKeyNotifications &instance();

    void post();

Q_SIGNALS:
    void hotKeyChanged();

private:
    HotKeyNotifications() = default;
};
