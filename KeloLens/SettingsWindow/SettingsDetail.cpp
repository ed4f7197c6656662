// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsDetail.h"

#include "KeloLens/SettingsWindow/GeneralPage.h"
#include "KeloLens/SettingsWindow/RecognitionPage.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"

#include <QVBoxLayout>

SettingsDetail::SettingsDetail(SettingsRouter &router, const SettingsServices &services,
                               QWidget *parent)
    : QWidget(parent), m_services(services)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    setMinimumSize(minimumPageSize);
    connect(&router, &SettingsRouter::pageChanged, this, &SettingsDetail::showPage);
    showPage(router.page());
}

void SettingsDetail::setTrayMissing(bool isTrayMissing)
{
    if (m_services.isTrayMissing == isTrayMissing) {
        return;
    }
    m_services.isTrayMissing = isTrayMissing;
    const bool isGeneral = qobject_cast<GeneralPage *>(m_page) != nullptr;
    showPage(isGeneral ? SettingsPage::general : SettingsPage::recognition);
}

void SettingsDetail::showPage(SettingsPage page)
{
    if (m_page != nullptr) {
        m_page->hide();
        m_page->deleteLater();
    }
    if (page == SettingsPage::general) {
        m_page = new GeneralPage(m_services, this);
    } else {
        m_page = new RecognitionPage(m_services, this);
    }
    m_page->setMinimumSize(minimumPageSize);
    layout()->addWidget(m_page);
    if (isVisible()) {
        m_page->show();
    }
}
