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
    report(result, codesOnly, captured.region, settings);
}

void CaptureFlow::report(const RecognitionResult &result, bool codesOnly,
                         const std::optional<ExactRect> &region, const CaptureSettings &settings)
{
    if (result.paragraphs.isEmpty() && result.codes.isEmpty()) {
        if (m_permission.isScreenRecordingGranted()) {
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
        result, codesOnly ? FlowPresentation::Mode::codesOnly : FlowPresentation::Mode::all, region,
        ++m_presentationCount};
    const bool presentationChanged = m_lastPresentation != presentation;
    m_lastPresentation = presentation;
    if (presentationChanged) {
        Q_EMIT lastPresentationChanged();
    }

    if (settings.showPanel) {
        if (m_outputs.present) {
            m_outputs.present(presentation);
        }
    }
    if (isCopyLost) {
        showToast(QString::fromLatin1(clipboardFailedMessage));
    } else if (!settings.showPanel) {
        showToast(confirmationMessage(result, codesOnly, copiedText));
    }
}
