// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/Graphemes.h"

#include <QTextBoundaryFinder>

namespace Graphemes {

QStringList split(const QString &text)
{
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (start < text.size()) {
        finder.setPosition(start);
        qsizetype end = finder.toNextBoundary();
        if (end <= start) {
            end = text.size();
        }
        clusters.append(text.mid(start, end - start));
        start = end;
    }
    return clusters;
}

qsizetype count(const QString &text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype clusters = 0;
    qsizetype position = 0;
    while (position < text.size()) {
        finder.setPosition(position);
        const qsizetype next = finder.toNextBoundary();
        position = next > position ? next : text.size();
        ++clusters;
    }
    return clusters;
}

bool isLetter(const QString &cluster)
{
    if (cluster.isEmpty()) {
        return false;
    }
    const char32_t first = cluster.at(0).isHighSurrogate() && cluster.size() > 1
                               ? QChar::surrogateToUcs4(cluster.at(0), cluster.at(1))
                               : cluster.at(0).unicode();
    return QChar::isLetter(first);
}

} // namespace Graphemes
