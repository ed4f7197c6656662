// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloUpdates/UpdateDialog.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// Release notes come from the network: they may link out, but never pull in files or images.
class ReleaseNotesView final : public QTextBrowser
{
public:
    using QTextBrowser::QTextBrowser;

    QVariant loadResource(int, const QUrl &) override { return {}; }
};

struct Texts
{
    QString headline;
    QString detail;
};

Texts textsFor(const UpdateCheckResult &result)
{
    const QString current =
        result.currentVersion.isEmpty() ? QStringLiteral("dev") : result.currentVersion;
    switch (result.kind) {
    case UpdateCheckResult::Kind::upToDate:
        return {QStringLiteral("KeloLens is up to date"),
                QStringLiteral("Version %1 is the newest version available.").arg(current)};
    case UpdateCheckResult::Kind::updateAvailable:
        return {QStringLiteral("KeloLens %1 is available").arg(result.newest->displayVersion()),
                QStringLiteral("You have version %1.").arg(current)};
    case UpdateCheckResult::Kind::notStarted:
        return {QStringLiteral("Update checks are off"),
                QStringLiteral("This copy of KeloLens was built without an update feed, so it "
                               "cannot look for new versions.")};
    case UpdateCheckResult::Kind::failed:
        break;
    }
    return {QStringLiteral("Could not check for updates"), result.message};
}

} // namespace

UpdateDialog::UpdateDialog(const UpdateCheckResult &result, QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Software Update"));
    const Texts texts = textsFor(result);
    auto *layout = new QVBoxLayout(this);
    m_headline = new QLabel(texts.headline, this);
    QFont bold = m_headline->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    m_headline->setFont(bold);
    m_detail = new QLabel(texts.detail, this);
    m_detail->setWordWrap(true);
    m_detail->setTextFormat(Qt::PlainText);
    layout->addWidget(m_headline);
    layout->addWidget(m_detail);

    auto *buttons = new QDialogButtonBox(this);
    const bool hasUpdate = result.kind == UpdateCheckResult::Kind::updateAvailable && result.newest;
    if (hasUpdate) {
        const AppcastItem &item = *result.newest;
        if (!item.releaseNotes.trimmed().isEmpty() || !item.releaseNotesLink.isEmpty()) {
            auto *notes = new ReleaseNotesView(this);
            notes->setOpenLinks(false);
            connect(notes, &QTextBrowser::anchorClicked, this, [](const QUrl &url) {
                if (url.scheme() == u"https" || url.scheme() == u"http") {
                    QDesktopServices::openUrl(url);
                }
            });
            if (!item.releaseNotes.trimmed().isEmpty()) {
                notes->setHtml(item.releaseNotes);
            } else {
                notes->setHtml(QStringLiteral("<a href=\"%1\">Release notes</a>")
                                   .arg(item.releaseNotesLink.toString().toHtmlEscaped()));
            }
            notes->setMinimumSize(420, 220);
            layout->addWidget(notes, 1);
        }
        if (!item.downloadPage.isEmpty()) {
            m_downloadButton = buttons->addButton(QStringLiteral("Open Download Page"),
                                                  QDialogButtonBox::AcceptRole);
            m_downloadButton->setDefault(true);
            const QUrl page = item.downloadPage;
            connect(m_downloadButton, &QPushButton::clicked, this,
                    [page] { QDesktopServices::openUrl(page); });
        }
        buttons->addButton(QStringLiteral("Later"), QDialogButtonBox::RejectRole);
    } else {
        buttons->addButton(QDialogButtonBox::Ok);
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void UpdateDialog::present(const UpdateCheckResult &result)
{
    auto *dialog = new UpdateDialog(result);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

QString UpdateDialog::headline() const
{
    return m_headline->text();
}

QString UpdateDialog::detail() const
{
    return m_detail->text();
}
