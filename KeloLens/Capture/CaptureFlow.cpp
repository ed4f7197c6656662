#include "KeloLens/Capture/CaptureFlow.h"

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Capture/ScreenCapturer.h"
#include "KeloLens/Recognition/Graphemes.h"
#include "KeloLens/Recognition/Recognizing.h"
#include "KeloLens/Settings/Preferences.h"

#include <QPointer>

CaptureFlow::CaptureFlow(ScreenCapturer &capturer, PermissionChecker &permission,
                         Recognizing &recognizer, Preferences &prefs, Outputs outputs,
                         QObject *parent)
    : QObject(parent), m_capturer(capturer), m_permission(permission), m_recognizer(recognizer),
      m_prefs(prefs), m_outputs(std::move(outputs))
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
    setCapturing(true);
    // The flow lives as long as the application, but a capture may still be suspended when it
    // goes away at exit; nothing may touch it then.
    const QPointer<CaptureFlow> self(this);

    if (!m_permission.isScreenRecordingGranted()) {
        if (m_outputs.permissionDenied) {
            m_outputs.permissionDenied();
        }
        setCapturing(false);
        co_return;
    }

    const CaptureOutcome outcome = co_await m_capturer.capture();
    if (!self) {
        co_return;
    }
    if (std::holds_alternative<CaptureCancelled>(outcome)) {
        setCapturing(false);
        co_return;
    }
    if (const auto *failure = std::get_if<CaptureFailed>(&outcome)) {
        showToast(failure->message);
        setCapturing(false);
        co_return;
    }
    const auto &captured = std::get<CapturedImage>(outcome);

    const QStringList languages = m_prefs.recognitionLanguages();
    const RecognitionOptions options{m_prefs.lineBreaks(), m_prefs.stripHyphenation(),
                                     m_prefs.detectBarcodes()};
    const RecognitionResult result =
        co_await m_recognizer.recognize(captured.image, languages, options);
    if (!self) {
        co_return;
    }

    if (result.paragraphs.isEmpty() && result.codes.isEmpty()) {
        if (m_permission.isScreenRecordingGranted()) {
            showToast(QStringLiteral("No text or codes found"));
        } else {
            showToast(QStringLiteral("Nothing captured. Check Screen Recording permission."),
                      ToastLink::screenRecordingSettings);
        }
        setCapturing(false);
        co_return;
    }
    if (codesOnly && result.codes.isEmpty()) {
        showToast(QStringLiteral("No codes found"));
        setCapturing(false);
        co_return;
    }

    std::optional<QString> copiedText;
    if (!codesOnly && !result.text.isEmpty()) {
        copiedText = result.text;
    } else if (result.codes.size() == 1) {
        copiedText = result.codes.first().payload;
    }
    if (copiedText && m_outputs.clipboard) {
        m_outputs.clipboard(*copiedText);
    }
    if (m_prefs.playSound() && m_outputs.playSound) {
        m_outputs.playSound();
    }

    FlowPresentation presentation{result, codesOnly ? PanelMode::codesOnly : PanelMode::all,
                                  captured.region};
    const bool presentationChanged = m_lastPresentation != presentation;
    m_lastPresentation = presentation;
    if (presentationChanged) {
        Q_EMIT lastPresentationChanged();
    }

    if (m_prefs.showPanel()) {
        if (m_outputs.present) {
            m_outputs.present(presentation);
        }
    } else {
        showToast(confirmationMessage(result, codesOnly, copiedText));
    }
    setCapturing(false);
}
