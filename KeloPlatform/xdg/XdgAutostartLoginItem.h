// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/LoginItem.h"

#include <QByteArray>
#include <QString>

namespace KeloPlatform {

// Opening the application at login through an XDG autostart entry
// (<XDG config home>/autostart/<entry>.desktop). The session starts whatever entries it finds
// there, so registering writes the entry and unregistering removes it. Any freedesktop session
// honours it, X11 or Wayland.
class XdgAutostartLoginItem final : public LoginItem
{
public:
    static constexpr auto defaultEntryFileName = "app.kelolens.KeloLens.desktop";

    // An empty executable path means the running binary.
    explicit XdgAutostartLoginItem(
        QString entryFileName = QString::fromLatin1(defaultEntryFileName),
        QString executablePath = {});

    // Looked up at each call, so a changed XDG_CONFIG_HOME is honoured.
    [[nodiscard]] QString entryPath() const;
    // The entry exists and does not mark itself hidden (Hidden=true disables an autostart entry).
    [[nodiscard]] bool isEnabled() const override;
    // Writes (atomically) or removes the entry.
    [[nodiscard]] std::optional<QString> setEnabled(bool enabled) override;

    // The program path as an Exec value: quoted and escaped where the desktop entry rules need it.
    [[nodiscard]] static QString execValue(const QString &program);
    // The whole entry for the given program.
    [[nodiscard]] static QByteArray entryContents(const QString &program);

private:
    QString m_entryFileName;
    QString m_executablePath;
};

} // namespace KeloPlatform
