// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/KeyNames.h"

#include <QStringList>

namespace {

const QStringList &keyNames()
{
    static const QStringList names = {
        QStringLiteral("Ctrl"),   QStringLiteral("Alt"),    QStringLiteral("Shift"),
        QStringLiteral("Super"),  QStringLiteral("Meta"),   QStringLiteral("Cmd"),
        QStringLiteral("Tab"),    QStringLiteral("Esc"),    QStringLiteral("Del"),
        QStringLiteral("Home"),   QStringLiteral("End"),    QStringLiteral("Enter"),
        QStringLiteral("Space"),  QStringLiteral("PgUp"),   QStringLiteral("PgDn"),
        QStringLiteral("Delete"), QStringLiteral("Insert"), QStringLiteral("Backspace")};
    return names;
}

// Letters and digits the engine takes for one another in small type.
int lookAlikeClass(QChar c)
{
    static const QString thin = QStringLiteral("lIi1|!");
    static const QString round = QStringLiteral("oO0");
    if (thin.contains(c)) {
        return 1;
    }
    if (round.contains(c)) {
        return 2;
    }
    return 0;
}

bool isLookAlikeOf(const QString &token, const QString &name)
{
    if (token.size() != name.size() || token == name) {
        return false;
    }
    for (qsizetype i = 0; i < token.size(); ++i) {
        const QChar a = token.at(i);
        const QChar b = name.at(i);
        if (a != b && (lookAlikeClass(a) == 0 || lookAlikeClass(a) != lookAlikeClass(b))) {
            return false;
        }
    }
    return true;
}

QString keyNameFor(const QString &token)
{
    for (const QString &name : keyNames()) {
        if (isLookAlikeOf(token, name)) {
            return name;
        }
    }
    return token;
}

} // namespace

namespace KeyNames {

QString mended(const QString &line)
{
    if (!line.contains(u'+')) {
        return line;
    }
    QString result;
    result.reserve(line.size());
    for (qsizetype i = 0; i < line.size();) {
        if (!line.at(i).isLetterOrNumber() && line.at(i) != u'|' && line.at(i) != u'!') {
            result += line.at(i++);
            continue;
        }
        qsizetype end = i;
        while (end < line.size() &&
               (line.at(end).isLetterOrNumber() || line.at(end) == u'|' || line.at(end) == u'!')) {
            ++end;
        }
        const QString token = line.mid(i, end - i);
        // Only inside a combination: "+" right beside the name.
        const bool isCombined =
            (i > 0 && line.at(i - 1) == u'+') || (end < line.size() && line.at(end) == u'+');
        result += isCombined ? keyNameFor(token) : token;
        i = end;
    }
    return result;
}

} // namespace KeyNames
