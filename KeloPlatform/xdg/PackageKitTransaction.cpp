// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/xdg/PackageKitTransaction.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace KeloPlatform::packagekit {
namespace {

// PackageKit's status values that say something worth showing.
constexpr uint statusWait = 1;
constexpr uint statusSetup = 2;
constexpr uint statusQuery = 4;
constexpr uint statusDownload = 8;
constexpr uint statusInstall = 9;
constexpr uint statusDependencies = 13;
constexpr uint statusCommit = 16;
constexpr uint statusDownloadRepository = 20;
constexpr uint statusDownloadUpdateInfo = 25;
constexpr uint statusLoadingCache = 27;
constexpr uint statusWaitingForLock = 30;
constexpr uint statusWaitingForAuth = 31;

// Before it downloads, the daemon loads its package cache and works out what to install; it
// counts each of those from 0 to 100 (apt's backend twice), which says nothing about the
// installation.
bool isPreparing(uint status)
{
    return status == statusSetup || status == statusQuery || status == statusDependencies ||
           status == statusLoadingCache;
}

QString stepFor(uint status)
{
    if (isPreparing(status)) {
        return QStringLiteral("Preparing…");
    }
    if (status == statusWaitingForAuth) {
        return QStringLiteral("Waiting for permission…");
    }
    if (status == statusWaitingForLock) {
        return QStringLiteral("Waiting for another installation to finish…");
    }
    if (status == statusWait) {
        return QStringLiteral("Waiting…");
    }
    if (status == statusDownload ||
        (status >= statusDownloadRepository && status <= statusDownloadUpdateInfo)) {
        return QStringLiteral("Downloading…");
    }
    if (status == statusInstall || status == statusCommit) {
        return QStringLiteral("Installing…");
    }
    return {};
}

} // namespace

Transaction::Transaction(QDBusConnection bus, QString method, QVariantList arguments,
                         QStringList hints, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_method(std::move(method)),
      m_arguments(std::move(arguments)), m_hints(std::move(hints))
{
}

void Transaction::start()
{
    // Should the daemon go away half-way (it crashed, or was restarted), no Finished will come.
    m_serviceWatcher = new QDBusServiceWatcher(QString::fromLatin1(service), m_bus,
                                               QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { fail(QStringLiteral("the package service stopped before it finished")); });
    const QDBusMessage create = QDBusMessage::createMethodCall(
        QString::fromLatin1(service), QString::fromLatin1(path), QString::fromLatin1(interface),
        QStringLiteral("CreateTransaction"));
    auto *call = new QDBusPendingCallWatcher(m_bus.asyncCall(create), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &Transaction::onCreated);
}

void Transaction::onCreated(QDBusPendingCallWatcher *call)
{
    call->deleteLater();
    const QDBusPendingReply<QDBusObjectPath> reply = *call;
    if (reply.isError()) {
        fail(reply.error().message());
        return;
    }
    m_path = reply.value().path();
    const QString serviceName = QString::fromLatin1(service);
    const QString transaction = QString::fromLatin1(transactionInterface);
    // Subscribed before the method is called, so that nothing it reports is missed.
    m_bus.connect(serviceName, m_path, transaction, QStringLiteral("Package"), this,
                  SLOT(onPackage(uint, QString, QString)));
    m_bus.connect(serviceName, m_path, transaction, QStringLiteral("ErrorCode"), this,
                  SLOT(onErrorCode(uint, QString)));
    m_bus.connect(serviceName, m_path, transaction, QStringLiteral("Finished"), this,
                  SLOT(onFinished(uint, uint)));
    m_bus.connect(serviceName, m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                  QStringLiteral("PropertiesChanged"), this,
                  SLOT(onPropertiesChanged(QString, QVariantMap, QStringList)));

    QDBusMessage hints = QDBusMessage::createMethodCall(serviceName, m_path, transaction,
                                                        QStringLiteral("SetHints"));
    hints << m_hints;
    // Hints only shape the transaction; one the daemon refuses does not stop it.
    m_bus.asyncCall(hints);

    QDBusMessage method =
        QDBusMessage::createMethodCall(serviceName, m_path, transaction, m_method);
    method.setArguments(m_arguments);
    auto *methodCall = new QDBusPendingCallWatcher(m_bus.asyncCall(method), this);
    connect(methodCall, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *sent) {
                sent->deleteLater();
                if (sent->isError()) {
                    fail(sent->error().message());
                }
            });
}

void Transaction::onPackage(uint info, const QString &packageId, const QString &)
{
    m_end.packages.append({info, packageId});
}

void Transaction::onErrorCode(uint code, const QString &details)
{
    m_end.hasError = true;
    m_end.errorCode = code;
    m_end.errorDetails = details;
}

void Transaction::onFinished(uint exit, uint)
{
    m_end.exit = exit;
    finish();
}

void Transaction::onPropertiesChanged(const QString &interfaceName, const QVariantMap &changed,
                                      const QStringList &)
{
    if (interfaceName != QLatin1String(transactionInterface)) {
        return;
    }
    PackageInstallProgress progress = m_progress;
    const QVariant percentage = changed.value(QStringLiteral("Percentage"));
    if (const QVariant status = changed.value(QStringLiteral("Status")); status.isValid()) {
        if (isPreparing(status.toUInt()) != isPreparing(m_status)) {
            // The share counted so far belongs to the other phase.
            m_percentage = percentageUnknown;
        }
        m_status = status.toUInt();
        if (const QString step = stepFor(m_status); !step.isEmpty()) {
            progress.step = step;
        }
    }
    if (percentage.isValid()) {
        m_percentage = percentage.toUInt();
    }
    progress.percent = m_percentage > 100 || isPreparing(m_status) ? -1 : int(m_percentage);
    if (progress == m_progress) {
        return;
    }
    m_progress = progress;
    if (onProgress) {
        onProgress(progress);
    }
}

void Transaction::fail(const QString &why)
{
    if (!m_end.hasError) {
        m_end.hasError = true;
        m_end.errorDetails = why;
    }
    finish();
}

void Transaction::finish()
{
    if (m_isEnded) {
        return;
    }
    m_isEnded = true;
    if (m_serviceWatcher != nullptr) {
        m_serviceWatcher->disconnect(this);
    }
    // Never from inside start(): the awaiting coroutine must have suspended first.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (onEnded) {
                onEnded();
            }
        },
        Qt::QueuedConnection);
}

} // namespace KeloPlatform::packagekit
