// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureSettings.h"
#include "KeloLens/Capture/FlowPresentation.h"
#include "KeloLens/Capture/RecognitionNotices.h"
#include "KeloLens/Capture/ToastLink.h"
#include "KeloLens/Recognition/Reading.h"

#include <QCoro/QCoroTask>
#include <QImage>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class PermissionChecker;
class Recognizing;
class ScreenCapturer;
struct CapturedImage;

// Drives one capture from request to outcome: checks screen access, lets the user select a
// region, recognizes it with the user's settings, and reports what happened through Outputs.
// It knows nothing about windows, the clipboard or sounds. Main thread only.
class CaptureFlow : public QObject
{
    Q_OBJECT

public:
    // Filled in by the owner; an unset callback is not called.
    struct Outputs
    {
        // False when the session did not take the text; the user is told instead of finding
        // something else on the clipboard.
        std::function<bool(const QString &text)> clipboard;
        std::function<void(const FlowPresentation &presentation)> present;
        std::function<void(const QString &message, std::optional<ToastLink> link)> toast;
        std::function<void()> permissionDenied;
        std::function<void()> playSound;
    };

    // The collaborators must outlive the flow; `settings` is asked once per capture.
    CaptureFlow(ScreenCapturer &capturer, PermissionChecker &permission, Recognizing &recognizer,
                std::function<CaptureSettings()> settings, Outputs outputs,
                QObject *parent = nullptr);

    // One capture; a request while another capture is under way does nothing. Suspends while
    // the user selects and while recognition runs, so the event loop keeps turning.
    QCoro::Task<> run(bool codesOnly);

    [[nodiscard]] bool isCapturing() const { return m_isCapturing; }
    // The presentation of the latest capture that found something.
    [[nodiscard]] const std::optional<FlowPresentation> &lastPresentation() const
    {
        return m_lastPresentation;
    }

    // The image of the text capture the panel was last asked to show stays in memory (never on
    // disk), so that it can be read again, until dropShownCapture() or the next capture. How it
    // was read; absent when no image is kept.
    [[nodiscard]] std::optional<Reading> shownReading() const;
    void dropShownCapture();
    // Reads the kept image again as asked, with the capture's other settings; the new reading
    // replaces the last result and its text goes to the clipboard. Absent when the image was
    // dropped before or while it was read.
    QCoro::Task<std::optional<RecognitionResult>> readShownCaptureAgain(Reading reading);

    // The message of a toast shown instead of the panel.
    // The toast when the clipboard did not take the text.
    static constexpr auto clipboardFailedMessage = "Couldn't copy to the clipboard";

    [[nodiscard]] static QString confirmationMessage(const RecognitionResult &result,
                                                     bool codesOnly,
                                                     const std::optional<QString> &copiedText);

Q_SIGNALS:
    void isCapturingChanged(bool isCapturing);
    void lastPresentationChanged();

private:
    class CapturingScope;

    void setCapturing(bool isCapturing);
    void showToast(const QString &message, std::optional<ToastLink> link = std::nullopt);
    // After recognition: what reaches the clipboard, the sound, the panel or the toast.
    void report(const RecognitionResult &result, bool codesOnly, const CapturedImage &captured,
                const CaptureSettings &settings);

    ScreenCapturer &m_capturer;
    PermissionChecker &m_permission;
    Recognizing &m_recognizer;
    std::function<CaptureSettings()> m_settings;
    const Outputs m_outputs;
    bool m_isCapturing = false;
    std::optional<FlowPresentation> m_lastPresentation;
    quint64 m_presentationCount = 0;
    RecognitionNotices m_notices;
    // The capture the panel shows; `generation` tells a reading started for an earlier one.
    struct ShownCapture
    {
        QImage image;
        CaptureSettings settings;
    };
    std::optional<ShownCapture> m_shown;
    quint64 m_shownGeneration = 0;
};
