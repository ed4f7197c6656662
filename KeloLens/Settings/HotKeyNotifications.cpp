#include "KeloLens/Settings/HotKeyNotifications.h"

HotKeyNotifications &HotKeyNotifications::instance()
{
    static HotKeyNotifications notifications;
    return notifications;
}

void HotKeyNotifications::post()
{
    Q_EMIT hotKeyChanged();
}
