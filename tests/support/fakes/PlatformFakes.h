// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/KeyGrabber.h"
#include "KeloPlatform/LoginItem.h"
#include "KeloPlatform/PackageInstaller.h"
#include "KeloPlatform/ScreenReader.h"
#include "KeloPlatform/ScreenshotService.h"
#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"

#include <QCoro/QCoroTimer>
#include <QFile>
#include <QList>

#include <chrono>
#include <map>
#include <optional>

// The platform services the tests stand in for, one fake for each: answers set by the test,
// requests recorded for it.
namespace KeloTest {

class FakeWindowSystem final : public KeloPlatform::WindowSystem
{
public:
    std::optional<KeloPlatform::RunningApplication> frontmost;
    bool isCompositingManagerRunning = true;
    // Windows that have gone: activating them fails.
    QList<uint32_t> goneWindows;
    QList<KeloPlatform::RunningApplication> activations;
    std::map<uint32_t, KeloPlatform::WindowClass> classes;

    [[nodiscard]] std::optional<KeloPlatform::RunningApplication>
    frontmostApplication() const override
    {
        return frontmost;
    }
    bool activate(const KeloPlatform::RunningApplication &application) override
    {
        if (goneWindows.contains(application.windowId)) {
            return false;
        }
        activations.append(application);
        return true;
    }
    [[nodiscard]] std::optional<KeloPlatform::WindowClass>
    windowClass(const KeloPlatform::RunningApplication &application) const override
    {
        const auto found = classes.find(application.windowId);
        return found == classes.end() ? std::nullopt : std::optional(found->second);
    }
    [[nodiscard]] bool isCompositing() const override { return isCompositingManagerRunning; }
};

class FakeSyntheticKeys final : public KeloPlatform::SyntheticKeys
{
public:
    explicit FakeSyntheticKeys(bool isAllowed = true) : isSessionAllowingKeys(isAllowed) {}

    bool isSessionAllowingKeys;
    bool isSessionSupportingKeys = true;
    // Every chord sent; Ctrl with a key arrives as a chord with Control alone.
    QList<KeloPlatform::KeyChord> sent;

    [[nodiscard]] bool isAvailable() const override { return isSessionAllowingKeys; }
    [[nodiscard]] bool isSupported() const override { return isSessionSupportingKeys; }
    // Where the desktop asks (`asksFirst`), its dialog stays open until the test answers.
    bool asksFirst = false;
    bool isDialogOpen = false;
    [[nodiscard]] bool isAsking() const override { return isDialogOpen; }
    void requestAccess() override
    {
        if (asksFirst && !isDialogOpen) {
            isDialogOpen = true;
            if (onAskingChanged) {
                onAskingChanged(true);
            }
        }
    }
    void answer(bool isAllowed)
    {
        isSessionAllowingKeys = isAllowed;
        isDialogOpen = false;
        if (onAskingChanged) {
            onAskingChanged(false);
        }
    }
    bool sendWithControl(uint32_t evdevCode) override
    {
        KeloPlatform::KeyChord chord;
        chord.evdevCode = evdevCode;
        chord.hasControl = true;
        return sendChord(chord);
    }
    bool sendChord(const KeloPlatform::KeyChord &chord) override
    {
        if (!isSessionAllowingKeys) {
            return false;
        }
        sent.append(chord);
        return true;
    }
};

// Grabs succeed at once, or, where the desktop asks the user first (`isAsking`), when the test
// answers; presses come when the test says. Both arrive as the real ones do, from inside event
// processing.
class FakeKeyGrabber final : public KeloPlatform::KeyGrabber
{
public:
    bool isAsking = false;
    std::map<uint32_t, KeloPlatform::KeyChord> grabs;
    QList<uint32_t> released;
    int attempts = 0;

    [[nodiscard]] bool answersLater() const override { return isAsking; }
    bool grab(uint32_t id, const KeloPlatform::KeyChord &chord) override
    {
        ++attempts;
        grabs[id] = chord;
        return true;
    }
    void release(uint32_t id) override
    {
        grabs.erase(id);
        released.append(id);
    }
    void press(uint32_t id) { onPressed(id); }
    void answer(uint32_t id, bool isTaken, const QString &trigger = {})
    {
        onAnswered(id, {isTaken, trigger, isTaken ? QString() : QStringLiteral("refused")});
    }
};

// Turns on and off as asked, or fails with `failure`; every request is kept.
class FakeLoginItem final : public KeloPlatform::LoginItem
{
public:
    bool enabled = false;
    std::optional<QString> failure;
    QList<bool> requests;

    [[nodiscard]] bool isEnabled() const override { return enabled; }
    std::optional<QString> setEnabled(bool value) override
    {
        requests.append(value);
        if (!failure) {
            enabled = value;
        }
        return failure;
    }
};

// Hands back `next` as the desktop would, after `delay`.
class FakeScreenshotService final : public KeloPlatform::ScreenshotService
{
public:
    KeloPlatform::Screenshot next;
    std::optional<bool> permission;
    bool canForget = false;
    std::chrono::milliseconds delay{0};

    [[nodiscard]] bool isAvailable() const override { return true; }
    [[nodiscard]] std::optional<bool> storedPermission() const override { return permission; }
    [[nodiscard]] bool canForgetRefusal() const override { return canForget; }
    bool forgetRefusal() override
    {
        if (!canForget || permission != false) {
            return false;
        }
        permission.reset();
        return true;
    }
    QCoro::Task<KeloPlatform::Screenshot> takeInteractive() override
    {
        if (delay.count() > 0) {
            co_await QCoro::sleepFor(delay);
        }
        co_return next;
    }
};

// Reads `contents` as the screen, where `isAllowed`.
class FakeScreenReader final : public KeloPlatform::ScreenReader
{
public:
    bool isAllowed = true;
    KeloPlatform::ScreenContents contents;
    int reads = 0;

    [[nodiscard]] bool canRead() const override { return isAllowed; }
    QCoro::Task<KeloPlatform::ScreenContents> read() override
    {
        ++reads;
        // A copy: co_return may move from what it is given, and the script is reused.
        co_return KeloPlatform::ScreenContents(contents);
    }
};

// Answers with `result` after `delay`, reporting `steps` on the way; an installed package writes
// its language data into `dataDirectory` ("tesseract-ocr-chi-sim" writes chi_sim.traineddata), as
// the real package would.
class FakePackageInstaller final : public KeloPlatform::PackageInstaller
{
public:
    bool isServiceAvailable = true;
    QString dataDirectory;
    KeloPlatform::PackageInstall result{KeloPlatform::PackageInstall::Status::installed, {}};
    QList<KeloPlatform::PackageInstallProgress> steps;
    std::chrono::milliseconds delay{0};
    QList<QStringList> requests;

    [[nodiscard]] bool isAvailable() const override { return isServiceAvailable; }
    QCoro::Task<KeloPlatform::PackageInstall>
    install(QStringList packageNames,
            std::function<void(const KeloPlatform::PackageInstallProgress &)> onProgress) override
    {
        requests.append(packageNames);
        for (const KeloPlatform::PackageInstallProgress &step : steps) {
            onProgress(step);
        }
        if (delay.count() > 0) {
            co_await QCoro::sleepFor(delay);
        }
        if (result.status == KeloPlatform::PackageInstall::Status::installed) {
            for (QString name : packageNames) {
                QFile data(dataDirectory + u'/' +
                           name.remove(QStringLiteral("tesseract-ocr-")).replace(u'-', u'_') +
                           QStringLiteral(".traineddata"));
                if (data.open(QIODevice::WriteOnly)) {
                    data.write("model");
                }
            }
        }
        co_return result;
    }
};

} // namespace KeloTest
