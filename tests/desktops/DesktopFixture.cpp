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
    if (node.properties.value(QStringLiteral("label")).toString().remove(u'&') == label) {
        return node.id;
    }
    for (const MenuNode &child : node.children) {
        if (const auto found = findItem(child, label)) {
            return found;
        }
    }
    return std::nullopt;
}

QVariant property(const QDBusConnection &bus, const QString &service, const QString &path,
                  const QString &interface, const QString &name)
{
    QDBusMessage message =
        QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("Get"));
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
    QStringList items;
    KeloTest::waitUntil(
        [&] {
            items = property(bus, QStringLiteral("org.kde.StatusNotifierWatcher"),
                             QStringLiteral("/StatusNotifierWatcher"),
                             QStringLiteral("org.kde.StatusNotifierWatcher"),
                             QStringLiteral("RegisteredStatusNotifierItems"))
                        .toStringList();
            return !items.isEmpty();
        },
        20s);
    for (const QString &item : items) {
        const qsizetype slash = item.indexOf(u'/');
        const QString service = item.left(slash);
        const QString path = slash < 0 ? QStringLiteral("/StatusNotifierItem") : item.mid(slash);
        const QString title = property(bus, service, path, QStringLiteral("org.kde.StatusNotifierItem"),
                                       QStringLiteral("Title"))
                                  .toString();
        if (title != u"KeloLens") {
            continue;
        }
        const QVariant menu = property(bus, service, path, QStringLiteral("org.kde.StatusNotifierItem"),
                                       QStringLiteral("Menu"));
        const QString menuPath = menu.value<QDBusObjectPath>().path();
        QDBusInterface dbusMenu(service, menuPath, QStringLiteral("com.canonical.dbusmenu"), bus);
        dbusMenu.call(QStringLiteral("AboutToShow"), 0);
        const QDBusMessage layout = dbusMenu.call(QStringLiteral("GetLayout"), 0, -1, QStringList());
        if (layout.arguments().size() < 2) {
            return false;
        }
        const MenuNode root = readNode(layout.arguments().at(1).value<QDBusArgument>());
        const std::optional<int> id = findItem(root, label);
        if (!id) {
            return false;
        }
        const QDBusMessage clicked =
            dbusMenu.call(QStringLiteral("Event"), *id, QStringLiteral("clicked"),
                          QVariant::fromValue(QDBusVariant(0)), 0u);
        return clicked.type() == QDBusMessage::ReplyMessage;
    }
    return false;
}

} // namespace KeloDesktops
