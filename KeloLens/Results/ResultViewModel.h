// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Recognition/Reading.h"
#include "KeloLens/Recognition/RecognitionModel.h"
#include "KeloLens/Results/Chip.h"
#include "KeloLens/Results/PanelMode.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The model behind the results panel: the editable text of the last capture, its codes and the
// chips derived from them, the short "copied" confirmation, and the callbacks through which the
// panel's actions reach its controller. One instance lives as long as the application.
//
// Every property notifies only when its value changes; the two focus counters notify on every
// increment. outputText, lineCount and chips are computed on each read and announced through
// outputChanged whenever the text, the mode or the codes change.
class ResultViewModel : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(bool canPaste READ canPaste WRITE setCanPaste NOTIFY canPasteChanged)
    Q_PROPERTY(bool copied READ copied NOTIFY copiedChanged)
    Q_PROPERTY(qint64 editorFocusRequest READ editorFocusRequest NOTIFY editorFocusRequestChanged)
    Q_PROPERTY(qint64 editorBlurRequest READ editorBlurRequest NOTIFY editorBlurRequestChanged)
    Q_PROPERTY(QString outputText READ outputText NOTIFY outputChanged)
    Q_PROPERTY(qsizetype lineCount READ lineCount NOTIFY outputChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(bool isReadingAgain READ isReadingAgain NOTIFY readingChanged)

public:
    explicit ResultViewModel(PanelMode mode = PanelMode::all, QObject *parent = nullptr);

    [[nodiscard]] QString text() const { return m_text; }
    // Editing the text ends a "copied" confirmation at once.
    void setText(const QString &text);
    [[nodiscard]] PanelMode mode() const { return m_mode; }
    [[nodiscard]] QList<DetectedCode> codes() const { return m_codes; }
    [[nodiscard]] bool canPaste() const { return m_canPaste; }
    // Calls onCanPasteChanged when the value changes.
    void setCanPaste(bool canPaste);
    [[nodiscard]] bool copied() const { return m_copied; }
    [[nodiscard]] std::optional<RecognitionResult> loadedResult() const { return m_loadedResult; }
    [[nodiscard]] qint64 editorFocusRequest() const { return m_editorFocusRequest; }
    [[nodiscard]] qint64 editorBlurRequest() const { return m_editorBlurRequest; }

    // The text that copying, pasting and saving act on: the edited text in a text capture, the
    // code payloads (one per line) otherwise.
    [[nodiscard]] QString outputText() const;
    // 0 for no text; otherwise the number of line-feed-separated pieces, empty ones included.
    [[nodiscard]] qsizetype lineCount() const;
    [[nodiscard]] QList<Chip> chips() const;

    // Shows a capture's result. Showing the same capture again in the same mode keeps the user's
    // edits; a new capture replaces them, even when it read the same text.
    void load(const RecognitionResult &result, PanelMode mode, quint64 captureNumber);
    // Asks the view to give the text editor keyboard focus, or to take it away.
    void requestEditorFocus();
    void requestEditorBlur();

    // A line about how the text was read ("This looks like Cyrillic text…"); empty for none.
    [[nodiscard]] QString notice() const { return m_notice; }
    void setNotice(const QString &notice);

    // Reading the capture again, in another language or with other line breaks. How the shown
    // text was read; absent when the capture cannot be read again (its image is gone).
    [[nodiscard]] std::optional<Reading> reading() const { return m_reading; }
    // The languages it can be read in.
    [[nodiscard]] QStringList readAsLanguages() const { return m_readAsLanguages; }
    void setReadAgain(const std::optional<Reading> &reading, const QStringList &languages);
    // Asks for the capture to be read again as `wanted` (onReadAs). Text the user has edited is
    // not thrown away at once: the request waits for confirmPendingReading().
    void readAs(const Reading &wanted);
    [[nodiscard]] std::optional<Reading> pendingReading() const { return m_pendingReading; }
    void confirmPendingReading();
    void cancelPendingReading();
    [[nodiscard]] bool isReadingAgain() const { return m_isReadingAgain; }
    // The new reading has arrived and replaces the text and codes; without a result (the capture
    // was gone) the text stays.
    void finishReading(const std::optional<RecognitionResult> &result, const Reading &reading);
    // Whether the text differs from what was recognized.
    [[nodiscard]] bool isEdited() const;

    // Shows "copied" until one second after the latest call.
    void markCopied();
    void copyOutput();
    void pasteOutput();
    void pasteAsOneLine();
    void copyAsMarkdown();
    void saveOutput();

    // Filled in by the panel controller; an unset callback is not called.
    std::function<void(const QString &)> onCopy;
    std::function<void(const QString &)> onPaste;
    std::function<void()> onRequestPaste;
    std::function<void(const Chip &)> onOpenChip;
    std::function<void(const QString &)> onSaveText;
    std::function<void()> onClose;
    std::function<void(bool)> onPopoverVisibilityChanged;
    std::function<void(bool)> onCanPasteChanged;
    // Filled in by the application: reads the capture again; opens the language settings.
    std::function<void(const Reading &)> onReadAs;
    std::function<void()> onOpenLanguageSettings;

    // Every run of white space and line breaks becomes one space; the ends are dropped.
    [[nodiscard]] static QString joinedAsOneLine(const QString &text);
    // The text in a Markdown code block without a language tag.
    [[nodiscard]] static QString markdownCodeBlock(const QString &text);

Q_SIGNALS:
    void textChanged();
    void modeChanged();
    void codesChanged();
    void canPasteChanged();
    void copiedChanged();
    void editorFocusRequestChanged();
    void editorBlurRequestChanged();
    // outputText, lineCount or chips may have changed.
    void outputChanged();
    void noticeChanged();
    // The reading, the languages to read in, the pending reading or isReadingAgain changed.
    void readingChanged();

private:
    void setMode(PanelMode mode);
    void setCodes(const QList<DetectedCode> &codes);
    void setCopied(bool copied);
    void startReading(const Reading &wanted);

    QString m_text;
    PanelMode m_mode;
    QList<DetectedCode> m_codes;
    bool m_canPaste = true;
    std::optional<RecognitionResult> m_loadedResult;
    quint64 m_loadedCapture = 0;
    bool m_copied = false;
    QTimer m_copiedReset;
    qint64 m_editorFocusRequest = 0;
    qint64 m_editorBlurRequest = 0;
    QString m_notice;
    std::optional<Reading> m_reading;
    QStringList m_readAsLanguages;
    std::optional<Reading> m_pendingReading;
    bool m_isReadingAgain = false;
};
