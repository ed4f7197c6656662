// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "BenchContext.h"

#include <QList>
#include <QString>

// Pages in several languages read on "Automatic" (script detection, then the installed
// language that reads them best) beside the plain tool in English, and what detection adds to
// a small capture.
struct LanguageFigures
{
    struct Page
    {
        QString language;
        double oursCer = 0;
        double plainCer = 0;
    };
    QList<Page> pages;
    // Warm medians on a small English capture.
    double detectionMs = 0;    // script detection alone (English the only Latin language)
    double detectionThreadMs = 0; // the same in processor time, whatever the machine's load
    double choiceMs = 0;          // detection and choice with each installed Latin language
    double automaticMs = 0;    // the whole capture read on Automatic
    double explicitMs = 0;     // the same capture read in English
    double paragraphAutomaticMs = 0; // a German paragraph read on Automatic
    double paragraphExplicitMs = 0;  // the same paragraph read in German
    double screenChoiceMs = 0; // detection and trial on a full screen of text
    bool isComplete = false;   // every language's pack was installed
};

[[nodiscard]] LanguageFigures runLanguageBench(const BenchContext &context);
