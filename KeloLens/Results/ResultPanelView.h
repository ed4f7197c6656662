// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Results/Chip.h"

#include <QList>
#include <QPointer>
#include <QSize>
#include <QTimer>
#include <QWidget>

#include <optional>

class Accessibility;
class ChipsRow;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QToolButton;
class ResultViewModel;
class WifiPopover;

namespace KeloPlatform {
class WindowSystem;
}

// The content of the results panel: the editable text with its line and character count (or the
// "Codes" heading when only codes matter), the chips, the buttons (copy, paste, paste as one
// line or allow pasting, a menu for Markdown and saving), the Wi-Fi details of a Wi-Fi chip and,
// while pasting is not possible, a hint that checks every second whether it has become possible.
// Everything it does goes through the model.
class ResultPanelView final : public QWidget
{
    Q_OBJECT

public:
    // The window system says whether popovers can draw shadows.
    ResultPanelView(ResultViewModel &model, Accessibility &accessibility,
                    const KeloPlatform::WindowSystem &windows, QWidget *parent = nullptr);

    // The panel's content size.
    static constexpr QSize contentSize{420, 400};

    [[nodiscard]] QPlainTextEdit *editor() const { return m_editor; }
    [[nodiscard]] ChipsRow *chipsRow() const { return m_chipsRow; }
    // Whether the editor holds the panel's keyboard focus (active or not).
    [[nodiscard]] bool isEditorFocused() const;

    // The Wi-Fi chip whose details are open; setting one opens them, none closes them.
    [[nodiscard]] std::optional<Chip> wifiChip() const { return m_wifiChip; }
    void setWifiChip(const std::optional<Chip> &chip);

    // "1 line · 1 character", "0 lines · 0 characters".
    [[nodiscard]] static QString countLine(qsizetype lines, qsizetype characters);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildTextSection();
    void buildButtonRow();
    void connectModel();
    void showText();
    void showMode();
    void showChips();
    void showCopied();
    void showCanPaste();
    void showEnabledStates();
    void refreshColors();
    void openChip(const Chip &chip);
    void checkAccess();

    ResultViewModel &m_model;
    Accessibility &m_accessibility;
    const KeloPlatform::WindowSystem &m_windows;
    QWidget *m_editorSection = nullptr;
    QPlainTextEdit *m_editor = nullptr;
    QLabel *m_countLabel = nullptr;
    QLabel *m_codesHeading = nullptr;
    ChipsRow *m_chipsRow = nullptr;
    QPushButton *m_copyButton = nullptr;
    QPushButton *m_pasteButton = nullptr;
    QPushButton *m_oneLineButton = nullptr;
    QPushButton *m_allowPasteButton = nullptr;
    QToolButton *m_moreButton = nullptr;
    QLabel *m_hint = nullptr;
    QTimer m_accessCheck;
    std::optional<Chip> m_wifiChip;
    QPointer<WifiPopover> m_popover;
};
