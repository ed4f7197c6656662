// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultViewModel.h"

#include <algorithm>
#include <chrono>
#include <utility>

ResultViewModel::ResultViewModel(PanelMode mode, QObject *parent) : QObject(parent), m_mode(mode)
{
    m_copiedReset.setSingleShot(true);
    m_copiedReset.setTimerType(Qt::PreciseTimer);
    m_copiedReset.setInterval(std::chrono::seconds(1));
    connect(&m_copiedReset, &QTimer::timeout, this, [this] { setCopied(false); });
}

void ResultViewModel::setText(const QString &text)
{
    if (text == m_text) {
        return;
    }
    m_text = text;
    Q_EMIT textChanged();
    Q_EMIT outputChanged();
    if (m_copied) {
        m_copiedReset.stop();
        setCopied(false);
    }
}

void ResultViewModel::setMode(PanelMode mode)
{
    if (mode == m_mode) {
        return;
    }
    m_mode = mode;
    Q_EMIT modeChanged();
    Q_EMIT outputChanged();
}

void ResultViewModel::setCodes(const QList<DetectedCode> &codes)
{
    if (codes == m_codes) {
        return;
    }
    m_codes = codes;
    Q_EMIT codesChanged();
    Q_EMIT outputChanged();
}

void ResultViewModel::setCanPaste(bool canPaste)
{
    if (canPaste == m_canPaste) {
        return;
    }
    m_canPaste = canPaste;
    Q_EMIT canPasteChanged();
    if (onCanPasteChanged) {
        onCanPasteChanged(canPaste);
    }
}

void ResultViewModel::setCopied(bool copied)
{
    if (copied == m_copied) {
        return;
    }
    m_copied = copied;
    Q_EMIT copiedChanged();
}

QString ResultViewModel::outputText() const
{
    if (m_mode == PanelMode::all && !m_text.isEmpty()) {
        return m_text;
    }
    QStringList payloads;
    payloads.reserve(m_codes.size());
    for (const DetectedCode &code : m_codes) {
        payloads.append(code.payload);
    }
    return payloads.join(u'\n');
}

qsizetype ResultViewModel::lineCount() const
{
    return m_text.isEmpty() ? 0 : m_text.count(u'\n') + 1;
}

QList<Chip> ResultViewModel::chips() const
{
    return extractChips(m_mode == PanelMode::codesOnly ? QString() : m_text, m_codes);
}

void ResultViewModel::load(const RecognitionResult &result, PanelMode mode, quint64 captureNumber)
{
    if (m_loadedResult && *m_loadedResult == result && mode == m_mode &&
        captureNumber == m_loadedCapture) {
        return;
    }
    m_loadedResult = result;
    m_loadedCapture = captureNumber;
    setMode(mode);
    setText(result.text);
    setCodes(result.codes);
    m_copiedReset.stop();
    setCopied(false);
}

void ResultViewModel::setNotice(const QString &notice)
{
    if (notice == m_notice) {
        return;
    }
    m_notice = notice;
    Q_EMIT noticeChanged();
}

void ResultViewModel::setReadAgain(const std::optional<Reading> &reading,
                                   const QStringList &languages)
{
    if (reading == m_reading && languages == m_readAsLanguages && !m_pendingReading &&
        !m_isReadingAgain) {
        return;
    }
    m_reading = reading;
    m_readAsLanguages = languages;
    m_pendingReading.reset();
    m_isReadingAgain = false;
    Q_EMIT readingChanged();
}

bool ResultViewModel::isEdited() const
{
    return m_loadedResult && m_mode == PanelMode::all && m_text != m_loadedResult->text;
}

void ResultViewModel::readAs(const Reading &wanted)
{
    if (!m_reading || m_isReadingAgain) {
        return;
    }
    if (isEdited()) {
        m_pendingReading = wanted;
        Q_EMIT readingChanged();
        return;
    }
    startReading(wanted);
}

void ResultViewModel::confirmPendingReading()
{
    if (const std::optional<Reading> wanted = std::exchange(m_pendingReading, std::nullopt)) {
        startReading(*wanted);
    }
}

void ResultViewModel::cancelPendingReading()
{
    if (m_pendingReading) {
        m_pendingReading.reset();
        Q_EMIT readingChanged();
    }
}

void ResultViewModel::startReading(const Reading &wanted)
{
    m_isReadingAgain = true;
    Q_EMIT readingChanged();
    if (onReadAs) {
        onReadAs(wanted);
    }
}

void ResultViewModel::finishReading(const std::optional<RecognitionResult> &result,
                                    const Reading &reading)
{
    if (result) {
        // Also when the new reading equals the old one: the user asked for the text as read.
        m_loadedResult = result;
        setText(result->text);
        setCodes(result->codes);
        m_reading = reading;
        setNotice({});
    }
    m_isReadingAgain = false;
    Q_EMIT readingChanged();
}

void ResultViewModel::requestEditorFocus()
{
    ++m_editorFocusRequest;
    Q_EMIT editorFocusRequestChanged();
}

void ResultViewModel::requestEditorBlur()
{
    ++m_editorBlurRequest;
    Q_EMIT editorBlurRequestChanged();
}

void ResultViewModel::markCopied()
{
    setCopied(true);
    // start() on a running timer restarts it: the second counts from the latest copy.
    m_copiedReset.start();
}

void ResultViewModel::copyOutput()
{
    const QString output = outputText();
    if (output.isEmpty()) {
        return;
    }
    if (onCopy) {
        onCopy(output);
    }
    markCopied();
}

void ResultViewModel::pasteOutput()
{
    const QString output = outputText();
    if (!output.isEmpty() && onPaste) {
        onPaste(output);
    }
}

void ResultViewModel::pasteAsOneLine()
{
    const QString output = outputText();
    if (output.isEmpty() || !onPaste) {
        return;
    }
    const QString line = joinedAsOneLine(output);
    // Text of nothing but white space would paste an empty string over the user's clipboard.
    if (!line.isEmpty()) {
        onPaste(line);
    }
}

void ResultViewModel::copyAsMarkdown()
{
    const QString output = outputText();
    if (output.isEmpty()) {
        return;
    }
    if (onCopy) {
        onCopy(markdownCodeBlock(output));
    }
    markCopied();
}

void ResultViewModel::saveOutput()
{
    const QString output = outputText();
    if (!output.isEmpty() && onSaveText) {
        onSaveText(output);
    }
}

QString ResultViewModel::joinedAsOneLine(const QString &text)
{
    const auto breaks = [](QChar c) {
        const char16_t u = c.unicode();
        return c.isSpace() || (u >= 0x0A && u <= 0x0D) || u == 0x85 || u == 0x2028 || u == 0x2029;
    };
    QString line;
    line.reserve(text.size());
    bool pendingSpace = false;
    for (QChar c : text) {
        if (breaks(c)) {
            pendingSpace = !line.isEmpty();
            continue;
        }
        if (pendingSpace) {
            line += u' ';
        }
        pendingSpace = false;
        line += c;
    }
    return line;
}

QString ResultViewModel::markdownCodeBlock(const QString &text)
{
    // A run of backticks as long as the fence would close the block inside the text.
    qsizetype longestRun = 0;
    qsizetype run = 0;
    for (const QChar c : text) {
        run = c == u'`' ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
    }
    const QString fence(std::max<qsizetype>(3, longestRun + 1), u'`');
    return fence + u'\n' + text + u'\n' + fence;
}
