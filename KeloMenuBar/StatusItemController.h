// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>

class QImage;
class QMenu;
class QSystemTrayIcon;

// The application's icon in the panel's tray (a StatusNotifierItem where the session has a
// watcher, an XEmbed icon otherwise) with a menu that is emptied and built afresh each time it
// is about to open, so it always shows the state of that moment. Either mouse button opens it,
// and the menu's own shortcuts work while it is open. The icon is drawn light on a dark panel
// and dark on a light one. Where no tray exists the icon simply never appears; the application
// runs on without it.
class StatusItemController final : public QObject
{
    Q_OBJECT

public:
    using MenuBuilder = std::function<void(QMenu &)>;
    // The icon with its picture drawn in the given colour.
    using IconMaker = std::function<QIcon(const QColor &)>;

    StatusItemController(IconMaker makeIcon, const QString &toolTip, MenuBuilder build,
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

    // The colour the icon is drawn in now.
    [[nodiscard]] QColor iconColor() const { return m_iconColor; }
    // Looks at the panel behind the icon again, and redraws the icon when the panel turned from
    // light to dark or back. Where the icon's place is unknown (a StatusNotifierItem panel draws
    // it itself) the application's palette decides.
    void followPanelLook();
    // A colour that stands out on the picture behind the icon, judged by its edge, where the
    // icon leaves the panel showing.
    [[nodiscard]] static QColor iconColorOn(const QImage &behindIcon);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon *m_item;
    MenuBuilder m_build;
    IconMaker m_makeIcon;
    QColor m_iconColor;
    // Panels come and go and switch between light and dark: look again now and then.
    QTimer m_lookCheck;
    int m_lookChecks = 0;
};
