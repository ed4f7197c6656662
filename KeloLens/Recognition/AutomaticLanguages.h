// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QFuture>
#include <QImage>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QThreadPool>

#include <memory>
#include <stop_token>

class TesseractEnginePool;

// What "Automatic" reads one capture in.
struct AutomaticChoice
{
    // The languages (tags) to read with; empty: the usual automatic set (the user's languages
    // that are installed, plus English), for text whose script could not be told.
    QStringList languages;
    // The script the text looked written in (ISO 15924, "Cyrl"); empty when not told.
    QString script;
    // True when no installed language reads that script: the text was read with what is there.
    bool isScriptUnread = false;
    // The installed languages of the script, when one model reads them all alike and the one
    // the text is in is told afterwards from the words read (`languagesByWords`); empty when
    // `languages` is final.
    QStringList candidates;
    // True when `languages` load the same models as a read without a choice (the user's
    // languages that are installed, plus English): a read started that way before the choice
    // stands.
    bool readsAsUsual = true;

    bool operator==(const AutomaticChoice &) const = default;
};

// Picks the languages for a capture read on "Automatic": the engine's orientation and script
// detection tells the script. Among several installed languages of that script, the one that
// reads a sample of the text with the highest mean word confidence wins; for Latin letters,
// which the script model reads in one pass whatever the language, the one whose dictionary
// knows most of the words read. Engines are kept warm between captures. Thread-safe.
class AutomaticLanguages
{
public:
    AutomaticLanguages();
    ~AutomaticLanguages();
    AutomaticLanguages(const AutomaticLanguages &) = delete;
    AutomaticLanguages &operator=(const AutomaticLanguages &) = delete;

    [[nodiscard]] AutomaticChoice choose(const QImage &capture, const QString &dataDirectory,
                                         const QStringList &uiLanguages,
                                         std::stop_token stop = {}) const;

    // The script, as an ISO 15924 code, of the detection's script name ("Cyrillic": "Cyrl");
    // empty for names that are no script ("Common") or unknown.
    [[nodiscard]] static QString scriptCode(const QString &detectedName);

    // The installed languages (tags) that read a script, the user's languages first, then
    // English, then in table order.
    [[nodiscard]] static QStringList languagesOfScript(const QString &script,
                                                       const QStringList &installedDataNames,
                                                       const QStringList &uiLanguages);

    // The languages to read with once the text is read: of the candidates, the one whose
    // dictionary knows most of its words (the first on a tie), plus English.
    [[nodiscard]] QStringList languagesByWords(const QStringList &candidates, const QString &text,
                                               const QString &dataDirectory) const;

    // Starts loading what `languagesByWords` will ask, on a thread of its own, so that it loads
    // while the text is read.
    void prepareDictionaries(const QStringList &candidates, const QString &dataDirectory) const;

    // Drops the warm engines.
    void releaseIdleEngines();

private:
    // The script's code; empty when too little text or no script stood out. `isSure`: enough
    // to tell the user about it.
    [[nodiscard]] QString detectScript(const QImage &sample, int resolution,
                                       const QString &directory, bool *isSure) const;
    [[nodiscard]] QString mostKnownWords(const QStringList &words, const QString &directory,
                                         const QStringList &candidates) const;
    [[nodiscard]] QString sampleText(const QImage &sample, int resolution, const QString &directory,
                                     const QString &dataName) const;
    [[nodiscard]] QString mostConfident(const QImage &sample, int resolution,
                                        const QString &directory, const QStringList &candidates,
                                        const std::stop_token &stop) const;

    std::unique_ptr<TesseractEnginePool> m_pool;
    mutable QThreadPool m_preparing;
    mutable QMutex m_preparedMutex;
    mutable QFuture<void> m_prepared;
    mutable QMutex m_detectionMutex;
    struct Detector;
    std::unique_ptr<Detector> m_detector;
};
