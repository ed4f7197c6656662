// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

// The application's icon in the panel's tray (a StatusNotifierItem where the session has a
// watcher, an XEmbed icon otherwise) with a menu that is emptied and built afresh each time it
// is about to open, so it always shows the state of that moment. Either mouse button opens it.
// Where no tray exists the icon simply never appears; the application runs on without it.
class StatusItemController final : public QObject
{
    Q_OBJECT

public:
    using MenuBuilder = std::function<void(QMenu &)>;

    StatusItemController(const QIcon &icon, const QString &toolTip, MenuBuilder build,
                         QObject *parent = nullptr);
    ~StatusItemController() override;

    // Whether the session shows tray icons at all.
    [[nodiscard]] static bool isTrayAvailable();

    [[nodiscard]] bool isVisible() const;
    void setVisible(bool isVisible);

    [[nodiscard]] QMenu &menu() const { return *m_menu; }
    [[nodiscard]] QSystemTrayIcon &trayIcon() const { return *m_item; }

    // What opening the menu does: empties it and runs the builder.
    void rebuildMenu();

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_item;
    MenuBuilder m_build;
};
