// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloHotkey/widgets/HotKeyRecorder.h"

#include "KeloHotkey/widgets/KeyCaps.h"
#include "KeloPlatform/KeyCodeTable.h"
#include "KeloTheme/Symbols.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QToolButton>

#include <array>
#include <optional>

namespace {

constexpr uint16_t escapeKey = 53;
// Ctrl alone with these (C, V, X, Q, W, Tab, Space) would take the commands every application
// relies on.
constexpr std::array<uint16_t, 7> reservedWithCtrl = {8, 9, 7, 12, 13, 48, 49};
// Shift, Ctrl, Alt, Super, Caps Lock and Fn on their own: a key press that only changes the
// modifiers records nothing.
constexpr std::array<uint16_t, 10> modifierKeys = {54, 55, 56, 57, 58, 59, 60, 61, 62, 63};

std::optional<uint16_t> macKeyCode(const QKeyEvent &event)
{
    const quint32 scanCode = event.nativeScanCode();
    if (scanCode < KeloPlatform::xKeycodeOffset) {
        return std::nullopt;
    }
    return KeloPlatform::macKeyCodeForEvdevCode(scanCode - KeloPlatform::xKeycodeOffset);
}

bool isModifierOnly(const QKeyEvent &event, std::optional<uint16_t> keyCode)
{
    if (keyCode) {
        return std::find(modifierKeys.begin(), modifierKeys.end(), *keyCode) != modifierKeys.end();
    }
    switch (event.key()) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
        return true;
    default:
        return false;
    }
}

// The field: a plain clickable rounded rectangle around the prompt or the key caps.
class RecordField final : public QAbstractButton
{
public:
    explicit RecordField(QWidget *parent) : QAbstractButton(parent)
    {
        setMinimumSize(130, 32);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        setFocusPolicy(Qt::StrongFocus);
    }

    void setRecording(bool isRecording)
    {
        m_isRecording = isRecording;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal border = m_isRecording ? 1.5 : 1.0;
        const QRectF shape =
            QRectF(rect()).adjusted(border / 2, border / 2, -border / 2, -border / 2);
        const QPalette &colors = palette();
        painter.setPen(
            QPen(m_isRecording ? ThemeColors::accent(colors) : ThemeColors::primary(colors, 0.12),
                 border));
        painter.setBrush(m_isRecording ? ThemeColors::accent(colors, 0.12)
                                       : ThemeColors::primary(colors, 0.04));
        painter.drawRoundedRect(shape, 8, 8);
        if (hasFocus() && !m_isRecording) {
            painter.setPen(QPen(ThemeColors::accent(colors, 0.6), 1));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(shape.adjusted(1, 1, -1, -1), 7, 7);
        }
    }

private:
    bool m_isRecording = false;
};

} // namespace

HotKeyRecorder::HotKeyRecorder(KeyboardLayout layout, HotKeyCombo defaultCombo, QWidget *parent)
    : QWidget(parent), m_layout(layout), m_combo(defaultCombo), m_defaultCombo(defaultCombo)
{
    auto *field = new RecordField(this);
    m_field = field;
    auto *fieldLayout = new QHBoxLayout(field);
    fieldLayout->setContentsMargins(4, 4, 4, 4);
    fieldLayout->setSpacing(4);
    fieldLayout->setAlignment(Qt::AlignCenter);
    m_prompt = new QLabel(QStringLiteral("Press a shortcut…"), field);
    QFont promptFont = themeFont(TextStyle::button);
    promptFont.setWeight(QFont::Medium);
    m_prompt->setFont(promptFont);
    m_prompt->setContentsMargins(6, 0, 6, 0);
    m_keyCaps = new KeyCaps({}, field);
    for (QWidget *child : {static_cast<QWidget *>(m_prompt), static_cast<QWidget *>(m_keyCaps)}) {
        child->setAttribute(Qt::WA_TransparentForMouseEvents);
        fieldLayout->addWidget(child);
    }
    connect(m_field, &QAbstractButton::clicked, this, [this] {
        if (m_isRecording) {
            stopRecording();
        } else {
            startRecording();
        }
    });

    m_resetButton = new QToolButton(this);
    m_resetButton->setAutoRaise(true);
    m_resetButton->setIconSize(QSize(12, 12));
    m_resetButton->setToolTip(QStringLiteral("Reset to ") +
                              m_defaultCombo.displayString(m_layout, ShortcutStyle::names));
    m_resetButton->setAccessibleName(m_resetButton->toolTip());
    connect(m_resetButton, &QToolButton::clicked, this, [this] {
        m_combo = m_defaultCombo;
        refresh();
        Q_EMIT comboEdited(m_combo);
    });

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);
    row->addWidget(m_field, 0, Qt::AlignVCenter);
    row->addWidget(m_resetButton, 0, Qt::AlignVCenter);
    row->addStretch(1);
    refresh();
}

HotKeyRecorder::~HotKeyRecorder()
{
    if (m_isRecording) {
        releaseKeyboard();
        qApp->removeEventFilter(this);
    }
}

void HotKeyRecorder::setCombo(const HotKeyCombo &combo)
{
    m_combo = combo;
    refresh();
}

QAbstractButton *HotKeyRecorder::recordField() const
{
    return m_field;
}

void HotKeyRecorder::startRecording()
{
    if (m_isRecording) {
        return;
    }
    m_isRecording = true;
    qApp->installEventFilter(this);
    // A combination another application holds would go to that application, never to us; while
    // recording the keyboard is ours alone, so every combination can be seen (and refused).
    grabKeyboard();
    refresh();
    Q_EMIT recordingChanged(true);
}

void HotKeyRecorder::stopRecording()
{
    if (!m_isRecording) {
        return;
    }
    m_isRecording = false;
    releaseKeyboard();
    qApp->removeEventFilter(this);
    refresh();
    Q_EMIT recordingChanged(false);
}

bool HotKeyRecorder::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_isRecording) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Claiming the key keeps shortcuts (Ctrl+W, Ctrl+Q...) from firing; the key press that
        // follows is then recorded.
        event->accept();
        return true;
    case QEvent::KeyPress:
        handleKeyPress(*static_cast<QKeyEvent *>(event));
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void HotKeyRecorder::handleKeyPress(const QKeyEvent &event)
{
    const std::optional<uint16_t> keyCode = macKeyCode(event);
    if (keyCode == escapeKey || (!keyCode && event.key() == Qt::Key_Escape)) {
        stopRecording();
        return;
    }
    if (isModifierOnly(event, keyCode)) {
        return;
    }
    const Qt::KeyboardModifiers held =
        event.modifiers() &
        (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    const bool isReserved = held == Qt::ControlModifier && keyCode &&
                            std::find(reservedWithCtrl.begin(), reservedWithCtrl.end(), *keyCode) !=
                                reservedWithCtrl.end();
    if (!keyCode || held == Qt::NoModifier || held == Qt::ShiftModifier || isReserved) {
        QApplication::beep();
        Q_EMIT shortcutRefused();
        return;
    }
    m_combo = HotKeyCombo{*keyCode, HotKeyCombo::carbonFlags(held)};
    stopRecording();
    Q_EMIT comboEdited(m_combo);
}

void HotKeyRecorder::hideEvent(QHideEvent *event)
{
    stopRecording();
    QWidget::hideEvent(event);
}

void HotKeyRecorder::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange) {
        refresh();
    }
    QWidget::changeEvent(event);
}

void HotKeyRecorder::refresh()
{
    static_cast<RecordField *>(m_field)->setRecording(m_isRecording);
    m_field->setToolTip(m_isRecording ? QStringLiteral("Press Esc to cancel")
                                      : QStringLiteral("Click to record a new shortcut"));
    m_prompt->setVisible(m_isRecording);
    QPalette promptPalette = m_prompt->palette();
    promptPalette.setColor(QPalette::WindowText, ThemeColors::accent(palette()));
    m_prompt->setPalette(promptPalette);
    m_keyCaps->setVisible(!m_isRecording);
    m_keyCaps->setKeys(m_combo.keys(m_layout, ShortcutStyle::names));
    const QString shown = m_combo.displayString(m_layout, ShortcutStyle::names);
    m_field->setAccessibleName(m_isRecording ? m_prompt->text() : shown);
    m_resetButton->setIcon(symbolIcon(Symbol::reset, ThemeColors::secondary(palette())));
    m_resetButton->setVisible(m_combo != m_defaultCombo && !m_isRecording);
}
