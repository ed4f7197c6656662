// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultPanelController.h"

#include "KeloLens/Results/ChipButton.h"
#include "KeloLens/Results/ChipsRow.h"
#include "KeloLens/Results/ResultPanelView.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloPanel/FloatingPanelController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloPlatform/NativeModifiers.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>

const QString ResultPanelController::pasteFailedMessage =
    QStringLiteral("Couldn't paste into the window you came from. The text is on the clipboard.");

namespace {

const auto phoneCopiedMessage = QStringLiteral("Phone number copied");
const auto codeCopiedMessage = QStringLiteral("Code copied");
const auto contactCopiedMessage = QStringLiteral("Contact copied as text");
const auto linkCopiedMessage = QStringLiteral("Link copied");
const auto linkNotOpenedMessage = QStringLiteral("Couldn't open the link");
const auto saveFailedPrefix = QStringLiteral("Couldn't save: ");
const auto proposedFileName = QStringLiteral("Captured text.txt");

// Text on the screen may name any scheme; only these are handed to the desktop to open.
bool isOpenable(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == u"http" || scheme == u"https" || scheme == u"mailto");
}

std::optional<QString> askForSaveFile()
{
    // Not the process's working folder, which for a tray application is wherever it was started.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
        folder = QDir::homePath();
    }
    const QString path =
        QFileDialog::getSaveFileName(nullptr, QString(), QDir(folder).filePath(proposedFileName),
                                     QStringLiteral("Plain text (*.txt)"));
    return path.isEmpty() ? std::nullopt : std::optional(path);
}

constexpr Qt::KeyboardModifiers significantModifiers =
    Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;

} // namespace

ResultPanelController::ResultPanelController(ResultViewModel &model, ToastController &toast,
                                             PasteService &paste, Accessibility &accessibility,
                                             KeloPlatform::WindowSystem &windows,
                                             KeyboardLayout layout,
                                             std::function<PanelPosition()> panelPosition,
                                             QObject *parent)
    : QObject(parent), chooseSaveFile(askForSaveFile),
      openUrl([](const QUrl &url) { return QDesktopServices::openUrl(url); }), m_model(model),
      m_toast(toast), m_paste(paste), m_accessibility(accessibility), m_layout(layout),
      m_panelPosition(std::move(panelPosition)),
      m_view(new ResultPanelView(model, accessibility, windows)),
      m_panel(std::make_unique<FloatingPanelController>(ResultPanelView::contentSize, std::nullopt,
                                                        m_view, windows))
{
    m_panel->panel().setWindowTitle(QStringLiteral("KeloLens results"));
    m_panel->keyHandler = [self = QPointer(this)](QKeyEvent *event) {
        return self && self->handleKey(event);
    };
    installModelCallbacks();
    // The desktop's dialog for the paste permission is an ordinary window: the panel, which
    // stays above every window, would cover it.
    m_accessibility.setOnAskingChanged([self = QPointer(this)](bool isAsking) {
        if (!self) {
            return;
        }
        if (isAsking) {
            self->m_panel->stepAside();
            return;
        }
        // The user's next key is Return, which must paste at once, not wait for the panel's
        // next look at the permission.
        if (self->m_accessibility.isTrusted()) {
            self->m_model.setCanPaste(true);
        }
        self->m_panel->comeBack();
    });
}

ResultPanelController::~ResultPanelController()
{
    // The model outlives this controller; its callbacks must not reach it any more, not even
    // from the view going away with the panel.
    m_model.onCopy = nullptr;
    m_model.onPaste = nullptr;
    m_model.onRequestPaste = nullptr;
    m_model.onOpenChip = nullptr;
    m_model.onSaveText = nullptr;
    m_model.onClose = nullptr;
    m_model.onPopoverVisibilityChanged = nullptr;
    m_model.onCanPasteChanged = nullptr;
    m_accessibility.setOnAskingChanged(nullptr);
}

void ResultPanelController::installModelCallbacks()
{
    const QPointer self(this);
    m_model.onCopy = [self](const QString &text) {
        if (self) {
            self->m_paste.writePlainText(text);
        }
    };
    m_model.onPaste = [self](const QString &text) {
        if (self) {
            self->pasteInto(text);
        }
    };
    m_model.onRequestPaste = [self] {
        if (!self) {
            return;
        }
        if (self->m_accessibility.isTrusted()) {
            self->m_model.setCanPaste(true);
        } else {
            self->requestAccessibility();
        }
    };
    m_model.onOpenChip = [self](const Chip &chip) {
        if (self) {
            self->openChip(chip);
        }
    };
    m_model.onSaveText = [self](const QString &text) {
        if (self) {
            self->saveText(text);
        }
    };
    m_model.onClose = [self] {
        if (self) {
            self->dismiss();
        }
    };
    m_model.onPopoverVisibilityChanged = [self](bool isShown) {
        if (!self) {
            return;
        }
        self->m_isPopoverShown = isShown;
        self->applyAutoHide();
    };
    m_model.onCanPasteChanged = [self](bool canPaste) {
        if (!self || !canPaste) {
            return;
        }
        self->m_isAwaitingAccessibility = false;
        self->applyAutoHide();
    };
}

void ResultPanelController::applyAutoHide()
{
    // The panel stays up while a popover is open or while the user is away granting access.
    m_panel->hidesOnResignKey = !m_isPopoverShown && !m_isAwaitingAccessibility;
}

void ResultPanelController::present(const RecognitionResult &result, PanelMode mode,
                                    const std::optional<SelectedRegion> &selection,
                                    quint64 captureNumber)
{
    if (QWidget *focused = m_panel->panel().focusWidget()) {
        focused->clearFocus();
    }
    m_model.requestEditorBlur();
    m_model.load(result, mode, captureNumber);
    m_model.setCanPaste(m_accessibility.isTrusted());
    if (m_panel->isVisible()) {
        return;
    }
    if (selection && m_panelPosition && m_panelPosition() == PanelPosition::nearSelection) {
        m_panel->show(*selection);
    } else {
        m_panel->show();
    }
}

void ResultPanelController::dismiss()
{
    m_isAwaitingAccessibility = false;
    m_panel->hidesOnResignKey = !m_isPopoverShown;
    m_panel->hide();
}

bool ResultPanelController::isVisible() const
{
    return m_panel->isVisible();
}

void ResultPanelController::requestAccessibility()
{
    m_model.setCanPaste(false);
    m_isAwaitingAccessibility = true;
    m_panel->hidesOnResignKey = false;
    m_accessibility.request();
}

QString ResultPanelController::typedCharacter(const QKeyEvent *event) const
{
    const quint32 scanCode = event->nativeScanCode();
    if (scanCode > KeloPlatform::xKeycodeOffset) {
        const auto keyCode =
            KeloPlatform::macKeyCodeForEvdevCode(scanCode - KeloPlatform::xKeycodeOffset);
        const auto character = keyCode ? m_layout.character(*keyCode) : std::nullopt;
        return character ? character->toLower() : QString();
    }
    // Synthesized events carry no key position, only Qt's name of the key.
    if (event->key() >= Qt::Key_A && event->key() <= Qt::Key_Z) {
        return QString(QChar(u'a' + (event->key() - Qt::Key_A)));
    }
    return {};
}

bool ResultPanelController::handleKey(QKeyEvent *event)
{
    if (event->type() != QEvent::KeyPress || m_panel->isComposing()) {
        return false;
    }
    const bool isEditorFocused = m_view->isEditorFocused();
    const Qt::KeyboardModifiers modifiers = event->modifiers() & significantModifiers;
    const bool isCapsLockOn = KeloPlatform::isCapsLockOn(event->nativeModifiers());

    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        const bool withCtrlOrAlt = modifiers & (Qt::ControlModifier | Qt::AltModifier);
        if (isEditorFocused && !withCtrlOrAlt) {
            return false;
        }
        // A chip reached with the arrow keys is the button Return presses.
        if (ChipButton *chip = m_view->chipsRow()->focusedButton(); chip && !modifiers) {
            chip->click();
            return true;
        }
        pasteCommand(modifiers & Qt::AltModifier);
        return true;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (isEditorFocused || modifiers) {
            return false;
        }
        return m_view->chipsRow()->moveFocus(event->key() == Qt::Key_Right ? 1 : -1);
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if ((modifiers & ~Qt::ShiftModifier) || isCapsLockOn) {
            return false;
        }
        if (isEditorFocused) {
            m_view->editor()->clearFocus();
        } else {
            m_model.requestEditorFocus();
        }
        return true;
    case Qt::Key_Escape:
        dismiss();
        return true;
    default:
        break;
    }

    if (modifiers != Qt::ControlModifier || isCapsLockOn) {
        return false;
    }
    const QString character = typedCharacter(event);
    if (character == u"c") {
        // With a selection the editor copies just that, as editors do.
        if (isEditorFocused && m_view->editor()->textCursor().hasSelection()) {
            return false;
        }
        m_model.copyOutput();
        return true;
    }
    if (character == u"w") {
        dismiss();
        return true;
    }
    return false;
}

void ResultPanelController::pasteCommand(bool asOneLine)
{
    if (!m_model.canPaste() && !m_accessibility.isPossible()) {
        // No key can be sent in this session, and no permission would change that: the text
        // goes on the clipboard for the user to paste, and the panel gets out of the way.
        m_model.copyOutput();
        dismiss();
        return;
    }
    if (!m_model.canPaste()) {
        if (m_model.onRequestPaste) {
            m_model.onRequestPaste();
        }
        return;
    }
    if (asOneLine) {
        m_model.pasteAsOneLine();
        return;
    }
    const QString text = m_model.outputText();
    if (!text.isEmpty() && m_model.onPaste) {
        m_model.onPaste(text);
    }
}

void ResultPanelController::pasteInto(const QString &text)
{
    if (!m_accessibility.isTrusted()) {
        requestAccessibility();
        return;
    }
    const auto target = m_panel->previousApp();
    dismiss();
    m_paste.writePlainText(text);
    if (m_paste.paste(target)) {
        return;
    }
    // The permission went away in between, the window the user came from has closed, or its
    // keys need a selection the session did not give us.
    if (m_accessibility.isTrusted()) {
        m_toast.show(pasteFailedMessage);
    } else {
        requestAccessibility();
    }
}

void ResultPanelController::openChip(const Chip &chip)
{
    if (const auto *link = chip.kind.as<ChipKind::Link>()) {
        openLink(link->url);
    } else if (const auto *email = chip.kind.as<ChipKind::Email>()) {
        openLink(QUrl(QStringLiteral("mailto:") + email->address));
    } else if (const auto *phone = chip.kind.as<ChipKind::Phone>()) {
        copyWithToast(phone->number, phoneCopiedMessage);
    } else if (const auto *code = chip.kind.as<ChipKind::Code>()) {
        switch (code->code.kind) {
        case CodeKind::url:
            openLink(QUrl(code->code.payload));
            break;
        case CodeKind::wifi:
        case CodeKind::text:
            copyWithToast(code->code.payload, codeCopiedMessage);
            break;
        case CodeKind::contact:
            copyWithToast(code->code.payload, contactCopiedMessage);
            break;
        }
    }
}

void ResultPanelController::openLink(const QUrl &url)
{
    if (!isOpenable(url)) {
        copyWithToast(url.toString(), linkCopiedMessage);
        return;
    }
    dismiss();
    if (!openUrl || !openUrl(url)) {
        m_toast.show(linkNotOpenedMessage);
    }
}

void ResultPanelController::copyWithToast(const QString &text, const QString &message)
{
    m_paste.writePlainText(text);
    m_toast.show(message);
}

void ResultPanelController::saveText(const QString &text)
{
    // The dialog takes the focus, which would hide the panel anyway.
    dismiss();
    const auto path = chooseSaveFile ? chooseSaveFile() : std::nullopt;
    if (!path) {
        return;
    }
    QSaveFile file(*path);
    // Text files end with a newline: without it `cat` runs the prompt into the last line.
    const QByteArray bytes = (text.endsWith(u'\n') ? text : text + u'\n').toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        m_toast.show(saveFailedPrefix + file.errorString());
    }
}
