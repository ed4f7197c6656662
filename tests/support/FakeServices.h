// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloPlatform/SyntheticKeys.h"
#include "KeloPlatform/WindowSystem.h"

#include <QList>

#include <optional>

namespace KeloTest {

// A window system whose answers the test sets and whose activation requests it can count.
class FakeWindowSystem final : public KeloPlatform::WindowSystem
{
public:
    std::optional<KeloPlatform::RunningApplication> frontmost;
    bool isCompositingManagerRunning = true;
    // Windows that have gone: activating them fails.
    QList<uint32_t> goneWindows;
    QList<KeloPlatform::RunningApplication> activations;

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
    [[nodiscard]] bool isCompositing() const override { return isCompositingManagerRunning; }
};

// Synthetic keys that can be switched off and that count what they would have sent.
class FakeSyntheticKeys final : public KeloPlatform::SyntheticKeys
{
public:
    bool isSessionAllowingKeys = true;
    QList<uint32_t> sent;

    [[nodiscard]] bool isAvailable() const override { return isSessionAllowingKeys; }
    bool sendWithControl(uint32_t evdevCode) override
    {
        if (!isSessionAllowingKeys) {
            return false;
        }
        sent.append(evdevCode);
        return true;
    }
};

} // namespace KeloTest
