// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloHotkey/HotKeyCombo.h"
#include "KeloHotkey/KeyboardLayout.h"

#include <QWidget>

class QAbstractButton;
class QKeyEvent;
class QLabel;
class QToolButton;
class KeyCaps;

// The control that records a new capture shortcut. A click on the field starts recording; the
// next key press with a usable modifier becomes the shortcut, Escape cancels, a click ends it,
// and so does the control being hidden. While recording every key press this application
// receives is swallowed (an application-wide event filter), so it neither types nor moves focus
// nor fires another shortcut. Shortcuts without a modifier, with Shift alone, or with Ctrl alone
// on C, V, X, Q, W, Tab or Space are refused with a beep.
//
// The owner keeps the value: comboEdited fires when the user records or resets, and only then;
// setCombo shows a value without firing it. Main thread only.
class HotKeyRecorder final : public QWidget
{
    Q_OBJECT

public:
    HotKeyRecorder(KeyboardLayout layout, HotKeyCombo defaultCombo, QWidget *parent = nullptr);
    ~HotKeyRecorder() override;

    [[nodiscard]] HotKeyCombo combo() const { return m_combo; }
    void setCombo(const HotKeyCombo &combo);
    [[nodiscard]] HotKeyCombo defaultCombo() const { return m_defaultCombo; }

    [[nodiscard]] bool isRecording() const { return m_isRecording; }
    void startRecording();
    void stopRecording();

    [[nodiscard]] QAbstractButton *recordField() const;
    [[nodiscard]] QToolButton *resetButton() const { return m_resetButton; }
    [[nodiscard]] KeyCaps *keyCaps() const { return m_keyCaps; }

Q_SIGNALS:
    void comboEdited(const HotKeyCombo &combo);
    void recordingChanged(bool isRecording);
    // A key press was refused (and the system beeped).
    void shortcutRefused();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void handleKeyPress(const QKeyEvent &event);
    void refresh();

    KeyboardLayout m_layout;
    HotKeyCombo m_combo;
    HotKeyCombo m_defaultCombo;
    bool m_isRecording = false;
    QAbstractButton *m_field;
    QLabel *m_prompt;
    KeyCaps *m_keyCaps;
    QToolButton *m_resetButton;
};
