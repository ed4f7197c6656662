// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/Results/ResultPanelView.h"

#include "KeloLens/Recognition/Graphemes.h"
#include "KeloLens/Results/ChipButton.h"
#include "KeloLens/Results/ChipsRow.h"
#include "KeloLens/Results/ReadAsMenu.h"
#include "KeloLens/Results/ReadingBar.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/WifiPopover.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPlatform/WindowSystem.h"
#include "KeloTheme/ButtonStyle.h"
#include "KeloTheme/Symbols.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <chrono>

namespace {

const auto copyTitle = QStringLiteral("Copy");
const auto copiedTitle = QStringLiteral("Copied");
// Without the permission to send keystrokes there is nothing to grant on X11 (the X server has
// no XTEST extension, or the session is not X11): the button checks again, the hint says how to
// paste by hand.
const auto allowPasteToolTip = QStringLiteral(
    "Pasting into other apps needs permission to send keystrokes. Click to check again.");
const auto accessHint =
    QStringLiteral("Paste needs permission to send keystrokes, which this session doesn't give. "
                   "Copy with Ctrl+C and paste it yourself.");

constexpr std::chrono::seconds accessCheckInterval(1);

// The editor's background: a lightly tinted rounded rectangle.
class EditorCard final : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 8, 8);
        painter.fillPath(shape, ThemeColors::primary(palette(), 0.06));
    }
};

void setSecondaryColor(QLabel *label, const QPalette &palette)
{
    QPalette colors = label->palette();
    colors.setColor(QPalette::WindowText, ThemeColors::secondary(palette));
    label->setPalette(colors);
}

} // namespace

ResultPanelView::ResultPanelView(ResultViewModel &model, Accessibility &accessibility,
                                 const KeloPlatform::WindowSystem &windows, QWidget *parent)
    : QWidget(parent), m_model(model), m_accessibility(accessibility), m_windows(windows)
{
    setFixedSize(contentSize);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(10);

    buildTextSection();

    m_chipsRow = new ChipsRow(this);
    m_chipsRow->setObjectName(QStringLiteral("chipsRow"));
    connect(m_chipsRow, &ChipsRow::chipClicked, this, &ResultPanelView::openChip);
    layout->addWidget(m_chipsRow);

    buildButtonRow();
    layout->addWidget(new ReadingBar(m_model, this));

    m_hint = new QLabel(accessHint, this);
    m_hint->setObjectName(QStringLiteral("accessibilityHint"));
    m_hint->setFont(themeFont(TextStyle::caption));
    m_hint->setWordWrap(true);
    m_hint->setMaximumHeight(2 * m_hint->fontMetrics().lineSpacing() + 2);
    layout->addWidget(m_hint);
    // Pushes everything up when the editor, which otherwise takes the height, is not there.
    layout->addStretch(0);

    m_accessCheck.setInterval(accessCheckInterval);
    m_accessCheck.setTimerType(Qt::PreciseTimer);
    connect(&m_accessCheck, &QTimer::timeout, this, &ResultPanelView::checkAccess);

    connectModel();
    refreshColors();
    showText();
    showMode();
    showChips();
    showCopied();
    showCanPaste();
    showEnabledStates();
}

void ResultPanelView::buildTextSection()
{
    auto *layout = static_cast<QVBoxLayout *>(this->layout());

    m_editorSection = new QWidget(this);
    auto *section = new QVBoxLayout(m_editorSection);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(4);
    auto *card = new EditorCard(m_editorSection);
    auto *cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(0, 0, 0, 0);
    m_editor = new QPlainTextEdit(card);
    m_editor->setObjectName(QStringLiteral("editor"));
    m_editor->setAccessibleName(QStringLiteral("Captured text"));
    m_editor->setFont(themeFont(TextStyle::body));
    m_editor->setFrameShape(QFrame::NoFrame);
    m_editor->viewport()->setAutoFillBackground(false);
    m_editor->document()->setDocumentMargin(6);
    // Tab belongs to the panel (into and out of the editor); clicks still focus the editor.
    m_editor->setFocusPolicy(Qt::ClickFocus);
    cardLayout->addWidget(m_editor);
    section->addWidget(card, 1);
    m_countLabel = new QLabel(m_editorSection);
    m_countLabel->setObjectName(QStringLiteral("countLabel"));
    m_countLabel->setFont(themeFont(TextStyle::caption));
    section->addWidget(m_countLabel);
    layout->addWidget(m_editorSection, 1);

    m_codesHeading = new QLabel(QStringLiteral("Codes"), this);
    m_codesHeading->setObjectName(QStringLiteral("codesHeading"));
    m_codesHeading->setFont(themeFont(TextStyle::headline));
    m_codesHeading->setContentsMargins(0, 4, 0, 0);
    layout->addWidget(m_codesHeading);

    connect(m_editor, &QPlainTextEdit::textChanged, this,
            [this] { m_model.setText(m_editor->toPlainText()); });
}

void ResultPanelView::buildButtonRow()
{
    auto *row = new QHBoxLayout;
    row->setSpacing(8);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);

    const auto button = [this, row](const QString &name, const QString &title) {
        auto *button = new QPushButton(title, this);
        button->setObjectName(name);
        button->setFocusPolicy(Qt::NoFocus);
        keloButton(button);
        row->addWidget(button, 0, Qt::AlignVCenter);
        return button;
    };

    m_copyButton = button(QStringLiteral("copyButton"), copiedTitle);
    // Wide enough for both labels, so the row does not jump when "Copied" shows.
    m_copyButton->setIcon(bundledSymbolIcon(Symbol::checkmark, Qt::black));
    const int copiedWidth = m_copyButton->sizeHint().width();
    m_copyButton->setText(copyTitle);
    m_copyButton->setFixedWidth(std::max(copiedWidth, m_copyButton->sizeHint().width()));
    connect(m_copyButton, &QPushButton::clicked, this, [this] { m_model.copyOutput(); });

    m_pasteButton = button(QStringLiteral("pasteButton"), QStringLiteral("Paste"));
    keloProminentButton(m_pasteButton);
    connect(m_pasteButton, &QPushButton::clicked, this, [this] { m_model.pasteOutput(); });

    m_oneLineButton = button(QStringLiteral("oneLineButton"), QStringLiteral("As one line"));
    connect(m_oneLineButton, &QPushButton::clicked, this, [this] { m_model.pasteAsOneLine(); });

    m_allowPasteButton = button(QStringLiteral("allowPasteButton"), QStringLiteral("Allow Paste…"));
    m_allowPasteButton->setToolTip(allowPasteToolTip);
    connect(m_allowPasteButton, &QPushButton::clicked, this, [this] {
        if (m_model.onRequestPaste) {
            m_model.onRequestPaste();
        }
    });

    m_moreButton = new QToolButton(this);
    m_moreButton->setObjectName(QStringLiteral("moreButton"));
    m_moreButton->setFocusPolicy(Qt::NoFocus);
    m_moreButton->setAutoRaise(true);
    m_moreButton->setIconSize(QSize(18, 18));
    m_moreButton->setPopupMode(QToolButton::InstantPopup);
    m_moreButton->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; }"));
    m_moreButton->setToolTip(QStringLiteral("More"));
    m_moreButton->setAccessibleName(QStringLiteral("More"));
    auto *menu = new QMenu(m_moreButton);
    menu->addAction(QStringLiteral("Copy as Markdown code block"), this,
                    [this] { m_model.copyAsMarkdown(); });
    menu->addAction(QStringLiteral("Save as .txt…"), this, [this] { m_model.saveOutput(); });
    menu->addSeparator();
    menu->addMenu(new ReadAsMenu(m_model, menu));
    m_moreButton->setMenu(menu);
    row->addWidget(m_moreButton, 0, Qt::AlignVCenter);
    row->addStretch();
}

void ResultPanelView::connectModel()
{
    connect(&m_model, &ResultViewModel::textChanged, this, &ResultPanelView::showText);
    connect(&m_model, &ResultViewModel::modeChanged, this, &ResultPanelView::showMode);
    connect(&m_model, &ResultViewModel::outputChanged, this, [this] {
        showChips();
        showEnabledStates();
    });
    connect(&m_model, &ResultViewModel::copiedChanged, this, &ResultPanelView::showCopied);
    connect(&m_model, &ResultViewModel::canPasteChanged, this, &ResultPanelView::showCanPaste);
    connect(&m_model, &ResultViewModel::editorFocusRequestChanged, this,
            [this] { m_editor->setFocus(Qt::OtherFocusReason); });
    connect(&m_model, &ResultViewModel::editorBlurRequestChanged, this,
            [this] { m_editor->clearFocus(); });
}

bool ResultPanelView::isEditorFocused() const
{
    return window()->focusWidget() == m_editor;
}

QString ResultPanelView::countLine(qsizetype lines, qsizetype characters)
{
    return QStringLiteral("%1 line%2 · %3 character%4")
        .arg(lines)
        .arg(lines == 1 ? QString() : QStringLiteral("s"))
        .arg(characters)
        .arg(characters == 1 ? QString() : QStringLiteral("s"));
}

void ResultPanelView::showText()
{
    const QString text = m_model.text();
    if (m_editor->toPlainText() != text) {
        const QSignalBlocker blocker(m_editor);
        m_editor->setPlainText(text);
    }
    m_countLabel->setText(countLine(m_model.lineCount(), Graphemes::count(text)));
}

void ResultPanelView::showMode()
{
    const bool isCodesOnly = m_model.mode() == PanelMode::codesOnly;
    m_editorSection->setVisible(!isCodesOnly);
    m_codesHeading->setVisible(isCodesOnly);
}

void ResultPanelView::showChips()
{
    const QList<Chip> chips = m_model.chips();
    m_chipsRow->setVisible(!chips.isEmpty());
    m_chipsRow->setChips(chips);
}

void ResultPanelView::showCopied()
{
    const bool isCopied = m_model.copied();
    m_copyButton->setText(isCopied ? copiedTitle : copyTitle);
    m_copyButton->setIcon(
        symbolIcon(isCopied ? Symbol::checkmark : Symbol::copy, ThemeColors::primary(palette())));
}

void ResultPanelView::showCanPaste()
{
    const bool canPaste = m_model.canPaste();
    m_pasteButton->setVisible(canPaste);
    m_oneLineButton->setVisible(canPaste);
    m_allowPasteButton->setVisible(!canPaste && m_accessibility.isPossible());
    m_hint->setVisible(!canPaste);
    if (!canPaste && isVisible()) {
        m_accessCheck.start();
    } else if (canPaste) {
        m_accessCheck.stop();
    }
}

void ResultPanelView::showEnabledStates()
{
    const bool hasOutput = !m_model.outputText().isEmpty();
    m_copyButton->setEnabled(hasOutput);
    m_pasteButton->setEnabled(hasOutput);
    m_oneLineButton->setEnabled(hasOutput);
    m_moreButton->setEnabled(hasOutput);
}

void ResultPanelView::refreshColors()
{
    const QPalette &colors = palette();
    setSecondaryColor(m_countLabel, colors);
    setSecondaryColor(m_hint, colors);
    QPalette editorColors = m_editor->palette();
    editorColors.setColor(QPalette::Base, Qt::transparent);
    m_editor->setPalette(editorColors);
    const QColor text = ThemeColors::primary(colors);
    m_pasteButton->setIcon(symbolIcon(Symbol::paste, colors.color(QPalette::HighlightedText)));
    m_allowPasteButton->setIcon(symbolIcon(Symbol::allowPaste, text));
    m_moreButton->setIcon(symbolIcon(Symbol::more, text));
    showCopied();
}

void ResultPanelView::openChip(const Chip &chip)
{
    const auto *code = chip.kind.as<ChipKind::Code>();
    if (code && code->code.kind == CodeKind::wifi) {
        setWifiChip(chip);
        return;
    }
    if (m_model.onOpenChip) {
        m_model.onOpenChip(chip);
    }
}

void ResultPanelView::setWifiChip(const std::optional<Chip> &chip)
{
    if (chip == m_wifiChip) {
        return;
    }
    m_wifiChip = chip;
    if (m_popover) {
        // Closing it reports back through `closed`, which must not undo the new choice.
        m_popover->disconnect(this);
        m_popover->close();
    }
    if (chip) {
        ChipButton *anchor = m_chipsRow->buttonFor(*chip);
        // The popover points at the chip, which must be in view for that.
        if (anchor) {
            m_chipsRow->scrollTo(anchor);
        }
        m_popover = new WifiPopover(*chip, m_windows.isCompositing(), this);
        connect(m_popover, &WifiPopover::copyPasswordRequested, this,
                [this](const QString &password) {
                    if (m_model.onCopy) {
                        m_model.onCopy(password);
                    }
                    setWifiChip(std::nullopt);
                });
        connect(m_popover, &WifiPopover::closed, this, [this] { setWifiChip(std::nullopt); });
        m_popover->popUp(anchor ? static_cast<QWidget *>(anchor) : this);
    }
    if (m_model.onPopoverVisibilityChanged) {
        m_model.onPopoverVisibilityChanged(m_wifiChip.has_value());
    }
}

void ResultPanelView::checkAccess()
{
    if (m_accessibility.isTrusted()) {
        m_model.setCanPaste(true);
    }
}

void ResultPanelView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_editor->clearFocus();
    if (!m_model.canPaste()) {
        m_accessCheck.start();
    }
}

void ResultPanelView::hideEvent(QHideEvent *event)
{
    m_accessCheck.stop();
    QWidget::hideEvent(event);
}

void ResultPanelView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        refreshColors();
    }
}
