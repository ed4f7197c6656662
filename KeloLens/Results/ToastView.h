// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;

// The content of a toast: one short message, at most two lines, and an optional action button.
class ToastView final : public QWidget
{
    Q_OBJECT

public:
    ToastView(const QString &message, const std::optional<QString> &actionTitle,
              std::function<void()> action, QWidget *parent = nullptr);

    // The widest a message line gets before it wraps.
    static constexpr int maximumMessageWidth = 360;

    // The message broken into at most two lines of at most `width` pixels in `font`; what does
    // not fit the second line is cut off with an ellipsis.
    [[nodiscard]] static QString twoLines(const QString &message, const QFont &font, int width);

private:
    QLabel *m_message;
    QPushButton *m_button = nullptr;
};
