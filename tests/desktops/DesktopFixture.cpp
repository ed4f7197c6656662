// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopFixture.h"

#include <QDBusArgument>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>

namespace KeloDesktops {
namespace {

// One node of a dbusmenu layout, (ia{sv}av): its id, properties and children.
struct MenuNode
{
    int id = 0;
    QVariantMap properties;
    QList<MenuNode> children;
};

MenuNode readNode(const QDBusArgument &argument)
{
    MenuNode node;
    argument.beginStructure();
    argument >> node.id >> node.properties;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        node.children << readNode(child.variant().value<QDBusArgument>());
    }
    argument.endArray();
    argument.endStructure();
    return node;
}

std::optional<int> findItem(const MenuNode &node, const QString &label)
{
    // A label may end with the item's shortcut ("Capture Text   Ctrl+Shift+2").
    if (node.properties.value(QStringLiteral("label")).toString().remove(u'&').startsWith(label)) {
        return node.id;
    }
    for (const MenuNode &child : node.children) {
        if (const auto found = findItem(child, label)) {
            return found;
        }
    }
    return std::nullopt;
}

QStringList labels(const MenuNode &node)
{
    QStringList found{node.properties.value(QStringLiteral("label")).toString()};
    for (const MenuNode &child : node.children) {
        found << labels(child);
    }
    return found;
}

QVariant property(const QDBusConnection &bus, const QString &service, const QString &path,
                  const QString &interface, const QString &name)
{
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    message << interface << name;
    const QDBusMessage reply = bus.call(message, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        return {};
    }
    return reply.arguments().constFirst().value<QDBusVariant>().variant();
}

} // namespace

bool DesktopTest::chooseTrayItem(const QString &label)
{
    const QDBusConnection bus = m_desktop->bus();
    const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
    QString service;
    QString path;
    // Other programs of the desktop have items too, and ours may come after them.
    KeloTest::waitUntil(
        [&] {
            const QStringList items = property(bus, QStringLiteral("org.kde.StatusNotifierWatcher"),
                                               QStringLiteral("/StatusNotifierWatcher"),
                                               QStringLiteral("org.kde.StatusNotifierWatcher"),
                                               QStringLiteral("RegisteredStatusNotifierItems"))
                                          .toStringList();
            for (const QString &item : items) {
                const qsizetype slash = item.indexOf(u'/');
                service = item.left(slash);
                path = slash < 0 ? QStringLiteral("/StatusNotifierItem") : item.mid(slash);
                if (property(bus, service, path, itemInterface, QStringLiteral("Title"))
                        .toString() == u"KeloLens") {
                    return true;
                }
            }
            service.clear();
            return false;
        },
        20s);
    if (service.isEmpty()) {
        return false;
    }
    const QString menuPath = property(bus, service, path, itemInterface, QStringLiteral("Menu"))
                                 .value<QDBusObjectPath>()
                                 .path();
    QDBusInterface dbusMenu(service, menuPath, QStringLiteral("com.canonical.dbusmenu"), bus);
    dbusMenu.call(QStringLiteral("AboutToShow"), 0);
    const QDBusMessage layout = dbusMenu.call(QStringLiteral("GetLayout"), 0, -1, QStringList());
    if (layout.arguments().size() < 2) {
        ADD_FAILURE() << "the tray menu has no layout: " << layout.errorMessage().toStdString();
        return false;
    }
    const MenuNode root = readNode(layout.arguments().at(1).value<QDBusArgument>());
    const std::optional<int> id = findItem(root, label);
    if (!id) {
        ADD_FAILURE() << "the tray menu has no item " << label.toStdString() << " among "
                      << labels(root).join(u',').toStdString();
        return false;
    }
    const QDBusMessage clicked =
        dbusMenu.call(QStringLiteral("Event"), *id, QStringLiteral("clicked"),
                      QVariant::fromValue(QDBusVariant(0)), 0u);
    return clicked.type() == QDBusMessage::ReplyMessage;
}

} // namespace KeloDesktops
