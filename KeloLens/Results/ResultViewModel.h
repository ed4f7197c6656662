// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

private:
    void setMode(PanelMode mode);
    void setCodes(const QList<DetectedCode> &codes);
    void setCopied(bool copied);

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
};
