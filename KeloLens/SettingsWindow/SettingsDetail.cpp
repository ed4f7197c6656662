// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/SettingsDetail.h"

#include "KeloLens/SettingsWindow/AboutSection.h"
#include "KeloLens/SettingsWindow/GeneralPage.h"
#include "KeloLens/SettingsWindow/RecognitionPage.h"
#include "KeloLens/SettingsWindow/SettingsForm.h"
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
    if (qobject_cast<GeneralPage *>(m_page) != nullptr) {
        showPage(SettingsPage::general);
    }
}

void SettingsDetail::showPage(SettingsPage page)
{
    if (m_page != nullptr) {
        m_page->hide();
        m_page->deleteLater();
    }
    switch (page) {
    case SettingsPage::general:
        m_page = new GeneralPage(m_services, this);
        break;
    case SettingsPage::recognition:
        m_page = new RecognitionPage(m_services, this);
        break;
    case SettingsPage::about: {
        auto *form = new SettingsForm(this);
        form->addSection(new AboutSection(m_services));
        m_page = form;
        break;
    }
    }
    m_page->setMinimumSize(minimumPageSize);
    layout()->addWidget(m_page);
    if (isVisible()) {
        m_page->show();
    }
    Q_EMIT pageShown();
}

int SettingsDetail::neededHeight(int width) const
{
    auto *form = qobject_cast<SettingsForm *>(m_page);
    if (form == nullptr && m_page != nullptr) {
        form = m_page->findChild<SettingsForm *>();
    }
    return form != nullptr ? form->contentHeight(width) : minimumPageSize.height();
}
