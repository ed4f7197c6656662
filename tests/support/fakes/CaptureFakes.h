// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Capture/ScreenCapturer.h"
#include "KeloLens/Recognition/Recognizing.h"
#include "KeloUpdates/Updater.h"

#include <QCoro/QCoroTimer>
#include <QStringList>

#include <chrono>

// The seams of the application module, one fake for each: answers set by the test, calls
// counted for it.
namespace KeloTest {

// What the recognizer gives for one paragraph of text (rows split at line feeds) and the codes.
inline RecognitionResult textResult(const QString &text, const QList<DetectedCode> &codes = {})
{
    return {{Paragraph{text.split(u'\n')}}, codes, text};
}

// Answers with `outcome` after `delay`.
class FakeScreenCapturer final : public ScreenCapturer
{
public:
    CaptureOutcome outcome = CaptureCancelled{};
    std::chrono::milliseconds delay{0};
    int calls = 0;

    QCoro::Task<CaptureOutcome> capture() override
    {
        ++calls;
        if (delay.count() > 0) {
            co_await QCoro::sleepFor(delay);
        }
        // A copy: co_return may move from what it is given, and the script is reused.
        co_return CaptureOutcome(outcome);
    }
    void cancel() override {}
    int removeLeftovers() override { return 0; }
};

// Answers with `result` after `delay`, and keeps what it was asked.
class FakeRecognizer final : public Recognizing
{
public:
    RecognitionResult result;
    std::chrono::milliseconds delay{0};
    int calls = 0;
    QImage lastImage;
    QStringList lastLanguages;
    RecognitionOptions lastOptions;

    QCoro::Task<RecognitionResult> recognize(QImage image, QStringList languages,
                                             RecognitionOptions options) override
    {
        ++calls;
        lastImage = image;
        lastLanguages = languages;
        lastOptions = options;
        if (delay.count() > 0) {
            co_await QCoro::sleepFor(delay);
        }
        co_return RecognitionResult(result);
    }
};

// Screen access as `isGranted` says, except that queued `answers` come first, one a question. A
// refusal can be forgotten when `canRequest` says so; requests are counted.
class FakePermissionChecker final : public PermissionChecker
{
public:
    explicit FakePermissionChecker(bool isGranted = true) : isGranted(isGranted) {}

    bool isGranted;
    bool isAsked = false;
    bool canRequest = false;
    mutable QList<bool> answers;
    int requests = 0;

    [[nodiscard]] bool isScreenRecordingGranted() const override
    {
        return answers.isEmpty() ? isGranted : answers.takeFirst();
    }
    [[nodiscard]] ScreenAccess screenAccess() const override
    {
        if (!isGranted) {
            return ScreenAccess::refused;
        }
        return isAsked ? ScreenAccess::askedAtCapture : ScreenAccess::notNeeded;
    }
    [[nodiscard]] bool canRequestScreenRecording() const override
    {
        return canRequest && !isGranted;
    }
    bool requestScreenRecording() override
    {
        ++requests;
        if (!canRequestScreenRecording()) {
            return false;
        }
        isGranted = true;
        isAsked = true;
        return true;
    }
};

class FakeUpdater final : public Updater
{
public:
    explicit FakeUpdater(bool isAvailable = true) : m_isAvailable(isAvailable) {}

    int checkCount = 0;

    [[nodiscard]] bool isAvailable() const override { return m_isAvailable; }
    void checkForUpdates() override { ++checkCount; }

private:
    bool m_isAvailable;
};

} // namespace KeloTest
