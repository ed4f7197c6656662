// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

// The pages of the settings window, in sidebar order.
enum class SettingsPage { general, recognition, about };

namespace SettingsPages {

[[nodiscard]] const QList<SettingsPage> &all();
// "general", "recognition", "about".
[[nodiscard]] QString rawValue(SettingsPage page);
[[nodiscard]] std::optional<SettingsPage> fromRawValue(const QString &rawValue);
// The sidebar row's and the window's title.
[[nodiscard]] QString title(SettingsPage page);
// The sidebar icon: a symbol name for SettingsIcon, and its tint.
[[nodiscard]] QString symbol(SettingsPage page);
[[nodiscard]] QColor tint(SettingsPage page);

} // namespace SettingsPages
