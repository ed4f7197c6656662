// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Capture/CaptureFlow.h"

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Capture/ScreenCapturer.h"
#include "KeloLens/Recognition/Graphemes.h"
#include "KeloLens/Recognition/Recognizing.h"

#include <QPointer>

// Marks the flow as capturing for as long as one run lasts, whichever way it ends. The flow may
// be gone by then (a capture suspended at exit); the guard then touches nothing.
class CaptureFlow::CapturingScope
{
public:
    explicit CapturingScope(CaptureFlow &flow) : m_flow(&flow) { flow.setCapturing(true); }
    ~CapturingScope()
    {
        if (m_flow) {
            m_flow->setCapturing(false);
        }
    }
    CapturingScope(const CapturingScope &) = delete;
    CapturingScope &operator=(const CapturingScope &) = delete;

    [[nodiscard]] bool isFlowAlive() const { return !m_flow.isNull(); }

private:
    QPointer<CaptureFlow> m_flow;
};

CaptureFlow::CaptureFlow(ScreenCapturer &capturer, PermissionChecker &permission,
                         Recognizing &recognizer, std::function<CaptureSettings()> settings,
                         Outputs outputs, QObject *parent)
    : QObject(parent), m_capturer(capturer), m_permission(permission), m_recognizer(recognizer),
      m_settings(std::move(settings)), m_outputs(std::move(outputs))
{
}

void CaptureFlow::setCapturing(bool isCapturing)
{
    if (m_isCapturing == isCapturing) {
        return;
    }
    m_isCapturing = isCapturing;
    Q_EMIT isCapturingChanged(isCapturing);
}

void CaptureFlow::showToast(const QString &message, std::optional<ToastLink> link)
{
    if (m_outputs.toast) {
        m_outputs.toast(message, link);
    }
}

QString CaptureFlow::confirmationMessage(const RecognitionResult &result, bool codesOnly,
                                         const std::optional<QString> &copiedText)
{
    if (!copiedText) {
        return QStringLiteral("Found %1 codes").arg(result.codes.size());
    }
    if (codesOnly || result.text.isEmpty()) {
        return QStringLiteral("Copied code");
    }
    const qsizetype characters = Graphemes::count(*copiedText);
    return QStringLiteral("Copied %1 character%2")
        .arg(characters)
        .arg(characters == 1 ? QString() : QStringLiteral("s"));
}

QCoro::Task<> CaptureFlow::run(bool codesOnly)
{
    if (m_isCapturing) {
        co_return;
    }
    const CapturingScope scope(*this);
    // A new capture replaces the one the panel showed, and no image outlives its panel.
    dropShownCapture();

    if (!m_permission.isScreenRecordingGranted()) {
        if (m_outputs.permissionDenied) {
            m_outputs.permissionDenied();
        }
        co_return;
    }

    const CaptureOutcome outcome = co_await m_capturer.capture();
    if (!scope.isFlowAlive() || std::holds_alternative<CaptureCancelled>(outcome)) {
        co_return;
    }
    if (const auto *failure = std::get_if<CaptureFailed>(&outcome)) {
        showToast(failure->message);
        co_return;
    }
    const auto &captured = std::get<CapturedImage>(outcome);

    CaptureSettings settings = m_settings ? m_settings() : CaptureSettings{};
    // Turning code detection off keeps codes out of text captures; a code capture is an explicit
    // request for them.
    if (codesOnly) {
        settings.options.detectBarcodes = true;
    }
    const RecognitionResult result =
        co_await m_recognizer.recognize(captured.image, settings.languages, settings.options);
    if (!scope.isFlowAlive()) {
        co_return;
    }
    report(result, codesOnly, captured, settings);
}

std::optional<Reading> CaptureFlow::shownReading() const
{
    if (!m_shown) {
        return std::nullopt;
    }
    return Reading{m_shown->settings.languages, m_shown->settings.options.lineBreaks};
}

void CaptureFlow::dropShownCapture()
{
    m_shown.reset();
    ++m_shownGeneration;
}

QCoro::Task<std::optional<RecognitionResult>> CaptureFlow::readShownCaptureAgain(Reading reading)
{
    if (!m_shown) {
        co_return std::nullopt;
    }
    const QPointer<CaptureFlow> self(this);
    const quint64 generation = m_shownGeneration;
    CaptureSettings settings = m_shown->settings;
    settings.languages = reading.languages;
    settings.options.lineBreaks = reading.lineBreaks;
    QCoro::Task<RecognitionResult> recognition =
        m_recognizer.recognize(m_shown->image, settings.languages, settings.options);
    RecognitionResult result = co_await std::move(recognition);
    if (!self || generation != m_shownGeneration) {
        co_return std::nullopt;
    }
    m_shown->settings = settings;
    if (m_lastPresentation) {
        m_lastPresentation->result = result;
        m_lastPresentation->notice.clear();
        Q_EMIT lastPresentationChanged();
    }
    // The new reading is the capture's text now, on the clipboard as the first one was.
    if (!result.text.isEmpty() && m_outputs.clipboard && !m_outputs.clipboard(result.text)) {
        showToast(QString::fromLatin1(clipboardFailedMessage));
    }
    co_return result;
}

void CaptureFlow::report(const RecognitionResult &result, bool codesOnly,
                         const CapturedImage &captured, const CaptureSettings &settings)
{
    const std::optional<QString> missingLanguages =
        m_notices.missingLanguages(result.notes, settings.languages);
    const std::optional<QString> scriptNotice = m_notices.unreadScript(result.notes);
    if (result.paragraphs.isEmpty() && result.codes.isEmpty()) {
        if (const auto &told = missingLanguages ? missingLanguages : scriptNotice) {
            showToast(*told, ToastLink::recognitionSettings);
        } else if (m_permission.isScreenRecordingGranted()) {
            showToast(QStringLiteral("No text or codes found"));
        } else {
            showToast(QStringLiteral("Nothing captured. Check Screen Recording permission."),
                      ToastLink::screenRecordingSettings);
        }
        return;
    }
    if (codesOnly && result.codes.isEmpty()) {
        showToast(QStringLiteral("No codes found"));
        return;
    }

    std::optional<QString> copiedText;
    if (!codesOnly && !result.text.isEmpty()) {
        copiedText = result.text;
    } else if (result.codes.size() == 1) {
        copiedText = result.codes.first().payload;
    }
    const bool isCopyLost = copiedText && m_outputs.clipboard && !m_outputs.clipboard(*copiedText);
    if (settings.playSound && m_outputs.playSound) {
        m_outputs.playSound();
    }

    const FlowPresentation presentation{
        result, codesOnly ? FlowPresentation::Mode::codesOnly : FlowPresentation::Mode::all,
        captured.region, ++m_presentationCount, scriptNotice.value_or(QString())};
    const bool presentationChanged = m_lastPresentation != presentation;
    m_lastPresentation = presentation;
    if (presentationChanged) {
        Q_EMIT lastPresentationChanged();
    }

    if (settings.showPanel) {
        if (!codesOnly) {
            m_shown = ShownCapture{captured.image, settings};
        }
        if (m_outputs.present) {
            m_outputs.present(presentation);
        }
    }
    if (isCopyLost) {
        showToast(QString::fromLatin1(clipboardFailedMessage));
    } else if (missingLanguages) {
        showToast(*missingLanguages, ToastLink::recognitionSettings);
    } else if (!settings.showPanel && scriptNotice) {
        showToast(*scriptNotice, ToastLink::recognitionSettings);
    } else if (!settings.showPanel) {
        showToast(confirmationMessage(result, codesOnly, copiedText));
    }
}
