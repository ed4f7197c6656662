#pragma once

#include <QString>
#include <optional>

// Opening the application at login through an XDG autostart entry
// (<XDG config home>/autostart/<entry>.desktop). The session starts whatever entries it finds
// there, so registering writes the entry and unregistering removes it.
class LoginItem
{
public:
    static constexpr auto defaultEntryFileName = "app.kelolens.KeloLens.desktop";

    // An empty executable path means the running binary.
    explicit LoginItem(QString entryFileName = QString::fromLatin1(defaultEntryFileName),
                       QString executablePath = {});

    // Looked up at each call, so a changed XDG_CONFIG_HOME is honoured.
    [[nodiscard]] QString entryPath() const;
    // The entry exists and does not mark itself hidden (Hidden=true disables an autostart entry).
    [[nodiscard]] bool isEnabled() const;
    // Writes (atomically) or removes the entry. Absent on success, otherwise the reason.
    [[nodiscard]] std::optional<QString> setEnabled(bool enabled) const;

    // The program path as an Exec value: quoted and escaped where the desktop entry rules need it.
    [[nodiscard]] static QString execValue(const QString &program);
    // The whole entry for the given program.
    [[nodiscard]] static QByteArray entryContents(const QString &program);

private:
    QString m_entryFileName;
    QString m_executablePath;
};
