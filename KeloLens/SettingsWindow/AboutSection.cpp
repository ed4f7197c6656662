// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/AboutSection.h"

#include "KeloLens/SettingsWindow/SettingsIcon.h"
#include "KeloUpdates/Updater.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QToolButton>

AboutSection::AboutSection(const SettingsServices &services, QWidget *parent)
    : SettingsSection({}, {}, parent)
{
    const AppInfo &info = services.appInfo;
    auto *version = new QLabel(versionText(info));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    addRow(QStringLiteral("Version"), {}, version);

    Updater *updater = services.updater;
    if (updater != nullptr && updater->isAvailable()) {
        m_updatesButton = new QPushButton(QStringLiteral("Check for Updates…"));
        connect(m_updatesButton, &QPushButton::clicked, this,
                [updater] { updater->checkForUpdates(); });
        addRow(QStringLiteral("Updates"), {}, m_updatesButton);
    }

    struct Link
    {
        QString title;
        QString symbol;
        QColor tint;
        QUrl url;
    };
    const Link links[] = {
        {QStringLiteral("Website"), QStringLiteral("globe"), SettingsIcon::blue, websiteUrl(info)},
        {QStringLiteral("What's New"), QStringLiteral("sparkles"), SettingsIcon::orange,
         changelogUrl(info)},
        {QStringLiteral("Contact Support"), QStringLiteral("envelope.fill"), SettingsIcon::blue,
         supportUrl(info)},
    };
    const std::function<bool(const QUrl &)> open = [services](const QUrl &url) {
        return services.open(url);
    };
    for (const Link &link : links) {
        auto *button = new QToolButton;
        button->setText(link.title);
        button->setIcon(SettingsIcon::icon(link.symbol, link.tint, 20));
        button->setIconSize(QSize(20, 20));
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setAutoRaise(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setToolTip(link.url.toString());
        QPalette palette = button->palette();
        palette.setColor(QPalette::ButtonText, palette.color(QPalette::Link));
        button->setPalette(palette);
        connect(button, &QToolButton::clicked, this, [open, url = link.url] { open(url); });
        m_links << button;
        QWidget *row = addRow(button);
        row->layout()->setAlignment(button, Qt::AlignLeft);
    }
}

QString AboutSection::versionText(const AppInfo &info)
{
    return QStringLiteral("%1 (%2)").arg(
        info.version.isEmpty() ? QStringLiteral("dev") : info.version,
        info.buildNumber.isEmpty() ? QStringLiteral("0") : info.buildNumber);
}

QUrl AboutSection::websiteUrl(const AppInfo &info)
{
    return QUrl(info.website);
}

QUrl AboutSection::changelogUrl(const AppInfo &info)
{
    QString site = info.website;
    while (site.endsWith(u'/')) {
        site.chop(1);
    }
    return QUrl(site + QStringLiteral("/changelog"));
}

QUrl AboutSection::supportUrl(const AppInfo &info)
{
    return QUrl(QStringLiteral("mailto:") + info.supportMailbox);
}
