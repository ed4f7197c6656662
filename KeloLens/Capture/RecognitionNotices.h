// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/RecognitionModel.h"

#include <QSet>
#include <QString>

#include <optional>

// What captures tell the user about languages, each thing once per launch (and in the log): a
// chosen language whose pack is missing, and text in a script that no installed language reads.
// Saying it at every capture would nag; never saying it leaves the user with garbled text and no
// reason.
class RecognitionNotices
{
public:
    // The message about languages of the `requested` ones that were missing, unless all of them
    // were told before.
    [[nodiscard]] std::optional<QString> missingLanguages(const RecognitionNotes &notes,
                                                          const QStringList &requested);
    // The message about an unread script, unless that script was told before.
    [[nodiscard]] std::optional<QString> unreadScript(const RecognitionNotes &notes);

private:
    QSet<QString> m_toldLanguages;
    QSet<QString> m_toldScripts;
};
