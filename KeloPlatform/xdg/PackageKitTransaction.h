// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the platform layer: one PackageKit transaction over D-Bus. The rest of the
// application never sees D-Bus types.

#include "KeloPlatform/PackageInstaller.h"

#include <QDBusConnection>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <coroutine>
#include <functional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

namespace KeloPlatform::packagekit {

inline constexpr auto service = "org.freedesktop.PackageKit";
inline constexpr auto path = "/org/freedesktop/PackageKit";
inline constexpr auto interface = "org.freedesktop.PackageKit";
inline constexpr auto transactionInterface = "org.freedesktop.PackageKit.Transaction";

// PackageKit's enumerations, as far as they are used here. Filters and transaction flags travel as
// bit fields of 1 << value.
inline constexpr quint64 filterNone = quint64(1) << 1;
inline constexpr quint64 flagOnlyTrusted = quint64(1) << 1;
inline constexpr uint infoInstalled = 1;
inline constexpr uint infoAvailable = 2;
inline constexpr uint exitSuccess = 1;
inline constexpr uint exitCancelled = 3;
inline constexpr uint exitCancelledPriority = 9;
inline constexpr uint errorTransactionCancelled = 17;
inline constexpr uint errorNotAuthorized = 48;
inline constexpr uint percentageUnknown = 101;

// A package a transaction reported: what PackageKit says about it and its id
// ("name;version;arch;repository").
struct PackageLine
{
    uint info = 0;
    QString id;

    [[nodiscard]] QString name() const { return id.section(u';', 0, 0); }
};

// How a transaction ended.
struct TransactionEnd
{
    // Finished: PackageKit's exit code. Zero when the transaction never ran or never finished.
    uint exit = 0;
    // The last error PackageKit reported, or why the call or the service failed.
    bool hasError = false;
    uint errorCode = 0;
    QString errorDetails;
    QList<PackageLine> packages;
};

// Runs one method of a fresh transaction: asks the daemon for a transaction, subscribes to its
// signals, sends the hints and then the call, and collects what comes back until it finishes,
// the call fails, or the daemon leaves the bus. Finishes exactly once, through onEnded. Main
// thread only.
class Transaction : public QObject
{
    Q_OBJECT

public:
    Transaction(QDBusConnection bus, QString method, QVariantList arguments, QStringList hints,
                QObject *parent = nullptr);

    void start();
    [[nodiscard]] const TransactionEnd &end() const { return m_end; }

    std::function<void(const PackageInstallProgress &)> onProgress;
    std::function<void()> onEnded;

private Q_SLOTS:
    void onPackage(uint info, const QString &packageId, const QString &summary);
    void onErrorCode(uint code, const QString &details);
    void onFinished(uint exit, uint runtime);
    void onPropertiesChanged(const QString &interfaceName, const QVariantMap &changed,
                             const QStringList &invalidated);

private:
    void onCreated(QDBusPendingCallWatcher *call);
    void fail(const QString &why);
    void finish();

    QDBusConnection m_bus;
    QString m_method;
    QVariantList m_arguments;
    QStringList m_hints;
    QString m_path;
    QDBusServiceWatcher *m_serviceWatcher = nullptr;
    PackageInstallProgress m_progress;
    uint m_status = 0;
    uint m_percentage = percentageUnknown;
    TransactionEnd m_end;
    bool m_isEnded = false;
};

// `co_await TransactionAwaiter(transaction)` starts the transaction and resumes once it ended.
class TransactionAwaiter
{
public:
    explicit TransactionAwaiter(Transaction &transaction) : m_transaction(&transaction) {}

    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle)
    {
        m_transaction->onEnded = [handle] { handle.resume(); };
        m_transaction->start();
    }
    TransactionEnd await_resume() { return m_transaction->end(); }

private:
    Transaction *m_transaction;
};

} // namespace KeloPlatform::packagekit
