// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/PermissionStatus.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"
#include "KeloTheme/Symbols.h"
#include "KeloTheme/ThemeColors.h"
#include "KeloTheme/ThemeFonts.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// Wraps only for want of room: a wrapping QLabel asks for less than one line of its text, and
// short states then broke in two beside a short description.
class StateLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    [[nodiscard]] QSize sizeHint() const override
    {
        const QSize wrapped = QLabel::sizeHint();
        // Rounded glyph positions make a wrapped line a little wider than the text measured.
        const int oneLine = fontMetrics().horizontalAdvance(text()) + 2 * margin() +
                            fontMetrics().averageCharWidth();
        return {std::max(wrapped.width(), oneLine), wrapped.height()};
    }
};

} // namespace

PermissionStatus::PermissionStatus(const QString &buttonTitle, std::function<void()> onRequest,
                                   QWidget *parent)
    : QWidget(parent), m_check(new QLabel(this)), m_text(new StateLabel(this)),
      m_button(new QPushButton(buttonTitle, this))
{
    m_check->setPixmap(bundledSymbolIcon(Symbol::success, SettingsIcon::green).pixmap(14, 14));
    m_text->setTextFormat(Qt::PlainText);
    m_text->setFont(themeFont(TextStyle::body));
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Some states take a sentence; on one line they would push the page wider than its window.
    m_text->setWordWrap(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(5);
    layout->addWidget(m_check);
    layout->addWidget(m_text);
    layout->addSpacing(4);
    layout->addWidget(m_button);
    connect(m_button, &QPushButton::clicked, this, [request = std::move(onRequest)] {
        if (request) {
            request();
        }
    });
    setState({}, false, false);
}

void PermissionStatus::setState(const QString &text, bool isInForce, bool offersButton)
{
    m_isInForce = isInForce;
    m_text->setText(text);
    m_text->setAccessibleName(text);
    // The check says it is in force; the words stay in the text colour, readable on any card.
    QPalette colors = palette();
    colors.setColor(QPalette::WindowText, isInForce ? ThemeColors::primary(palette())
                                                    : ThemeColors::secondary(palette()));
    m_text->setPalette(colors);
    m_check->setVisible(isInForce);
    m_button->setVisible(offersButton);
}
