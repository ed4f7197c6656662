// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace KeloPlatform {

// Whether the application opens when the user logs in. Main thread only.
class LoginItem
{
public:
    virtual ~LoginItem() = default;

    [[nodiscard]] virtual bool isEnabled() const = 0;
    // Absent on success, otherwise why the change failed, in words for the log.
    [[nodiscard]] virtual std::optional<QString> setEnabled(bool enabled) = 0;
};

} // namespace KeloPlatform
