// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Corpus.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <map>

// Accuracy of one reader over the text images it was given.
struct Score
{
    QList<double> cer;
    int linesFound = 0;
    int linesTotal = 0;
    int paragraphsRight = 0;
    int images = 0;
    QList<double> milliseconds;
    std::map<QString, QList<double>> cerByTheme;
    // Lines found and drawn, by kind of text.
    std::map<TextKind, std::pair<int, int>> linesByKind;

    void add(const CorpusImage &item, const QString &text);

    [[nodiscard]] double meanCer() const;
    [[nodiscard]] double recall() const;
    [[nodiscard]] double paragraphAccuracy() const;
    // Line recall for one kind of text; 0 when there was none.
    [[nodiscard]] double recall(TextKind kind) const;
    [[nodiscard]] bool hasKind(TextKind kind) const;
};

// Codes of one reader against those drawn.
struct CodeScore
{
    int found = 0;
    int expected = 0;
    int falsePositives = 0;

    void add(const CorpusImage &item, const QStringList &payloads);
    [[nodiscard]] QString foundText() const;
};

// What was read wrong in one image, for looking into a figure.
void printDifferences(const CorpusImage &item, const QString &text, const QStringList &payloads);
