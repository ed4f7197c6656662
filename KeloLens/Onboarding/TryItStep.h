// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

// The last onboarding page: how a capture goes, and a button that starts one.
class TryItStep final : public QWidget
{
    Q_OBJECT

public:
    // Without global shortcuts (`hotKey` empty) the first row says to bind a desktop shortcut to
    // the capture command instead. Where the session can send no keys (`canPaste` false) it
    // promises no pasting.
    TryItStep(const QString &hotKey, std::function<void()> tryCapture, bool canPaste = true,
              QWidget *parent = nullptr);

    [[nodiscard]] QPushButton *tryButton() const { return m_tryButton; }

private:
    QPushButton *m_tryButton;
};
