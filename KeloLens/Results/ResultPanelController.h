// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloCore/ExactRect.h"
#include "KeloHotkey/KeyboardLayout.h"
#include "KeloLens/Recognition/RecognitionModel.h"
#include "KeloLens/Results/Chip.h"
#include "KeloLens/Results/PanelMode.h"
#include "KeloLens/Settings/PanelPosition.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class Accessibility;
class FloatingPanelController;
class PasteService;
class QKeyEvent;
class ResultPanelView;
class ResultViewModel;
class ToastController;

namespace KeloPlatform {
class WindowSystem;
}

// Shows a capture's result in the floating results panel and carries out what the user does
// there: the panel's keys (Return pastes, Tab enters and leaves the editor, Escape closes, Ctrl+C
// copies), copying, pasting into the window the user came from, the chips' actions, saving to a
// file. One controller lives as long as the application. Main thread only; the model, the toast
// and the services must outlive it.
class ResultPanelController final : public QObject
{
    Q_OBJECT

public:
    ResultPanelController(ResultViewModel &model, ToastController &toast, PasteService &paste,
                          Accessibility &accessibility, KeloPlatform::WindowSystem &windows,
                          KeyboardLayout layout, std::function<PanelPosition()> panelPosition,
                          QObject *parent = nullptr);
    ~ResultPanelController() override;

    // Loads the result of a capture and shows the panel next to the selection (or at its fixed
    // place, as the user prefers, or when there is no selection). A visible panel keeps its
    // place; the same capture shown again keeps the user's edits.
    void present(const RecognitionResult &result, PanelMode mode,
                 const std::optional<ExactRect> &selection, quint64 captureNumber);
    // Hides the panel, as Escape does.
    void dismiss();
    [[nodiscard]] bool isVisible() const;
    // The panel's keyboard commands; true when the key was consumed.
    bool handleKey(QKeyEvent *event);
    // Turns pasting off until the permission to send keystrokes is there, and asks for it.
    void requestAccessibility();
    [[nodiscard]] bool isAwaitingAccessibility() const { return m_isAwaitingAccessibility; }

    [[nodiscard]] FloatingPanelController &panel() { return *m_panel; }
    [[nodiscard]] ResultPanelView &view() { return *m_view; }

    // Asks where to save the text; absent when the user cancels. A file dialog by default.
    std::function<std::optional<QString>()> chooseSaveFile;
    // Opens a link with the desktop's handler; false when none took it.
    std::function<bool(const QUrl &)> openUrl;

    // What the toasts say.
    static const QString pasteFailedMessage;

private:
    void installModelCallbacks();
    void applyAutoHide();
    void pasteCommand(bool asOneLine);
    void pasteInto(const QString &text);
    void openChip(const Chip &chip);
    void openLink(const QUrl &url);
    void copyWithToast(const QString &text, const QString &message);
    void saveText(const QString &text);
    // What the pressed key types on the current layout, lower-cased, ignoring modifiers.
    [[nodiscard]] QString typedCharacter(const QKeyEvent *event) const;

    ResultViewModel &m_model;
    ToastController &m_toast;
    PasteService &m_paste;
    Accessibility &m_accessibility;
    KeyboardLayout m_layout;
    std::function<PanelPosition()> m_panelPosition;
    ResultPanelView *m_view;
    std::unique_ptr<FloatingPanelController> m_panel;
    bool m_isAwaitingAccessibility = false;
    bool m_isPopoverShown = false;
};
