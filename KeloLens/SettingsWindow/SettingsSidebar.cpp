// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsSidebar.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"

SettingsSidebar::SettingsSidebar(SettingsRouter &router, QWidget *parent)
    : QListWidget(parent), m_router(router)
{
    setFixedWidth(fixedWidth);
    setFrameShape(QFrame::NoFrame);
    setIconSize(QSize(20, 20));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setViewportMargins(8, 4, 8, 0);
    setSpacing(1);
    // The selected row: a soft accent band with the text in its normal colour.
    QColor selected = palette().color(QPalette::Highlight);
    selected.setAlphaF(0.18);
    setStyleSheet(QStringLiteral("QListWidget { background: transparent; outline: none; }"
                                 "QListWidget::item { padding: 5px 4px; border-radius: 6px;"
                                 " color: %1; }"
                                 "QListWidget::item:selected { background: %2; }")
                      .arg(palette().color(QPalette::WindowText).name(QColor::HexArgb),
                           selected.name(QColor::HexArgb)));
    QFont rowFont = font();
    rowFont.setPixelSize(13);
    setFont(rowFont);
    for (const SettingsPage page : SettingsPages::all()) {
        auto *item = new QListWidgetItem(
            SettingsIcon::icon(SettingsPages::symbol(page), SettingsPages::tint(page), 20),
            SettingsPages::title(page), this);
        item->setData(Qt::UserRole, SettingsPages::rawValue(page));
    }
    showPage();
    const auto assign = [this](QListWidgetItem *item) {
        if (item == nullptr) {
            return;
        }
        if (const auto page = SettingsPages::fromRawValue(item->data(Qt::UserRole).toString())) {
            m_router.setPage(*page);
        }
    };
    connect(this, &QListWidget::currentItemChanged, this, assign);
    connect(this, &QListWidget::itemClicked, this, assign);
    // A cleared selection (a Ctrl-click on the row) puts the router's page back.
    connect(this, &QListWidget::itemSelectionChanged, this, [this] {
        if (selectedItems().isEmpty()) {
            showPage();
        }
    });
    connect(&m_router, &SettingsRouter::pageChanged, this, &SettingsSidebar::showPage);
}

void SettingsSidebar::showPage()
{
    const int row = int(SettingsPages::all().indexOf(m_router.page()));
    if (currentRow() != row || selectedItems().isEmpty()) {
        setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
    }
}
