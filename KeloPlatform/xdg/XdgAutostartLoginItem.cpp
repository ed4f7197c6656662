// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/XdgAutostartLoginItem.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace KeloPlatform {
namespace {

// Characters that make an Exec argument need quoting.
bool needsQuoting(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (argument.isEmpty()) {
        return true;
    }
    for (QChar c : argument) {
        if (reserved.contains(c)) {
            return true;
        }
    }
    return false;
}

// Escapes that apply to every string value of a desktop entry, after the Exec quoting.
QString escapeStringValue(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (QChar c : value) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

bool declaresHidden(const QByteArray &contents)
{
    bool inMainGroup = false;
    for (const QByteArray &rawLine : contents.split('\n')) {
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup) {
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.left(equals).trimmed() != "Hidden") {
            continue;
        }
        return line.mid(equals + 1).trimmed() == "true";
    }
    return false;
}

} // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString entryFileName, QString executablePath)
    : m_entryFileName(std::move(entryFileName)), m_executablePath(std::move(executablePath))
{
}

QString XdgAutostartLoginItem::entryPath() const
{
    const QString configHome =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configHome + QStringLiteral("/autostart/") + m_entryFileName;
}

bool XdgAutostartLoginItem::isEnabled() const
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // An entry is a few hundred bytes; a huge file is not ours and is read only in part.
    return !declaresHidden(file.read(64 * 1024));
}

std::optional<QString> XdgAutostartLoginItem::setEnabled(bool enabled)
{
    const QString path = entryPath();
    if (!enabled) {
        QFile file(path);
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
            return std::nullopt;
        }
        if (!file.remove()) {
            return file.errorString();
        }
        return std::nullopt;
    }

    const QString directory = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(directory)) {
        return QStringLiteral("cannot create the folder %1").arg(directory);
    }
    const QString program =
        m_executablePath.isEmpty() ? QCoreApplication::applicationFilePath() : m_executablePath;
    if (program.isEmpty()) {
        return QStringLiteral("the path of the running program is unknown");
    }
    const QByteArray contents = entryContents(program);
    // Every launch asks again; an entry that already says this leaves the disk alone.
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.read(64 * 1024) == contents) {
        return std::nullopt;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return file.errorString();
    }
    file.write(contents);
    if (!file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

QString XdgAutostartLoginItem::execValue(const QString &program)
{
    QString argument = program;
    if (needsQuoting(argument)) {
        QString quoted;
        for (QChar c : argument) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') {
                quoted += u'\\';
            }
            quoted += c;
        }
        argument = u'"' + quoted + u'"';
    }
    // A literal percent sign would otherwise start a field code.
    argument.replace(u'%', QStringLiteral("%%"));
    return escapeStringValue(argument);
}

QByteArray XdgAutostartLoginItem::entryContents(const QString &program)
{
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=KeloLens\n");
    text += QStringLiteral("Comment=Copy text and codes from anywhere on the screen\n");
    text += QStringLiteral("Exec=") + execValue(program) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace KeloPlatform
