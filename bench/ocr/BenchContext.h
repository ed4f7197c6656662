// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Corpus.h"

#include <QString>
#include <QTemporaryDir>

// What every part of the benchmark shares.
struct BenchContext
{
    QString tesseract; // the plain tool; empty when it is not installed
    QString keptCorpusFolder;
    bool isVerbose = false;
    QTemporaryDir folder;

    // Writes the image where the plain tool can read it (and into the kept corpus) and returns
    // its path.
    QString save(const CorpusImage &item) const
    {
        const QString path = folder.filePath(item.name + QStringLiteral(".png"));
        item.image.save(path);
        if (!keptCorpusFolder.isEmpty()) {
            item.image.save(keptCorpusFolder + QLatin1Char('/') + item.name +
                            QStringLiteral(".png"));
        }
        return path;
    }
};
