// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Recognition/LookAlikes.h"

namespace {

constexpr char16_t microSign = u'\u00B5';
constexpr char16_t greekMu = u'\u03BC';

} // namespace

namespace LookAlikes {

QString inWordScript(const QString &text)
{
    if (!text.contains(QChar(microSign))) {
        return text;
    }
    QString folded = text;
    qsizetype start = 0;
    while (start < folded.size()) {
        if (!folded.at(start).isLetter()) {
            ++start;
            continue;
        }
        qsizetype end = start;
        bool hasGreek = false;
        bool hasLatin = false;
        for (; end < folded.size() && (folded.at(end).isLetter() || folded.at(end).isMark());
             ++end) {
            hasGreek = hasGreek || folded.at(end).script() == QChar::Script_Greek;
            hasLatin = hasLatin || folded.at(end).script() == QChar::Script_Latin;
        }
        if (hasGreek && !hasLatin) {
            for (qsizetype i = start; i < end; ++i) {
                if (folded.at(i) == QChar(microSign)) {
                    folded[i] = QChar(greekMu);
                }
            }
        }
        start = end;
    }
    return folded;
}

QString withBarsInWordsAsL(const QString &text)
{
    QString mended = text;
    const auto isLowerLatin = [](QChar c) {
        return c.isLower() && c.script() == QChar::Script_Latin;
    };
    for (qsizetype i = 1; i + 1 < mended.size(); ++i) {
        if (mended.at(i) == u'|' && isLowerLatin(mended.at(i - 1)) &&
            isLowerLatin(mended.at(i + 1))) {
            mended[i] = u'l';
        }
    }
    return mended;
}

} // namespace LookAlikes
