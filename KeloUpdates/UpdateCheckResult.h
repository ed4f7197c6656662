// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloUpdates/Appcast.h"

#include <QString>

#include <optional>

// What one update check found, for the dialog that tells the user.
struct UpdateCheckResult
{
    enum class Kind {
        // The newest release in the feed is not newer than this build.
        upToDate,
        // `newest` is newer than this build.
        updateAvailable,
        // The feed could not be fetched or read; `message` says why.
        failed,
        // This build has no usable update key, so it never checks.
        notStarted,
    };

    Kind kind = Kind::failed;
    QString currentVersion;
    std::optional<AppcastItem> newest;
    QString message;

    bool operator==(const UpdateCheckResult &) const = default;
};
