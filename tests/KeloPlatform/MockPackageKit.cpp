// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for the PackageKit daemon on a private system bus: org.freedesktop.PackageKit with
// CreateTransaction, and transactions that answer SetHints, Resolve and InstallPackages with
// PackageKit's signals. A package "tesseract-ocr-xyz" exists; it is installed while
// DATA_DIR/xyz.traineddata exists, and installing it writes that file, as the real package would.
//   kelo-mock-packagekit DATA_DIR
// The tests script it through app.kelolens.MockPackageKit at /app/kelolens/MockPackageKit:
//   SetAnswer(s answer)  how InstallPackages ends: success (the default), deny (the user
//                        closes the password prompt), fail (a download fails), vanish (the
//                        daemon quits half-way)
//   Calls() -> as        what arrived, one line per call, oldest first
// It prints "ready" once its names are on the bus.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cstdio>

namespace {

const QString transactionInterface = QStringLiteral("org.freedesktop.PackageKit.Transaction");
const QString prefix = QStringLiteral("tesseract-ocr-");

struct State
{
    QString dataDir;
    QString answer = QStringLiteral("success");
    QStringList calls;
};

QString dataFile(const State &state, const QString &package)
{
    return state.dataDir + u'/' + package.mid(prefix.size()).replace(u'-', u'_') +
           QStringLiteral(".traineddata");
}

class Transaction : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PackageKit.Transaction")

public:
    Transaction(State &state, QString path, QObject *parent)
        : QObject(parent), m_state(state), m_path(std::move(path))
    {
    }

public Q_SLOTS:
    void SetHints(const QStringList &hints)
    {
        m_state.calls << QStringLiteral("SetHints ") + hints.join(u',');
    }

    void Resolve(qulonglong filter, const QStringList &packages)
    {
        m_state.calls << QStringLiteral("Resolve %1 %2").arg(filter).arg(packages.join(u','));
        for (const QString &name : packages) {
            if (!name.startsWith(prefix)) {
                continue;
            }
            const bool isInstalled = QFile::exists(dataFile(m_state, name));
            emitSignal(QStringLiteral("Package"),
                       {uint(isInstalled ? 1 : 2), name + QStringLiteral(";1:4.1.0-2;all;debian"),
                        QStringLiteral("tesseract-ocr language files")});
        }
        finish(1);
    }

    void InstallPackages(qulonglong flags, const QStringList &ids)
    {
        m_state.calls << QStringLiteral("InstallPackages %1 %2").arg(flags).arg(ids.join(u','));
        const QString answer = m_state.answer;
        if (answer == u"vanish") {
            QTimer::singleShot(50, qApp, &QCoreApplication::quit);
            return;
        }
        // Waiting for the password prompt, downloading, installing: as the real daemon reports.
        changeProperties(
            {{QStringLiteral("Status"), uint(31)}, {QStringLiteral("Percentage"), uint(101)}});
        if (answer == u"deny") {
            emitSignal(QStringLiteral("ErrorCode"),
                       {uint(48), QStringLiteral("Failed to obtain authentication.")});
            finish(2);
            return;
        }
        QTimer::singleShot(30, this, [this, ids, answer] {
            // Loading the package cache, counted from 0 to 100 on its own.
            changeProperties({{QStringLiteral("Status"), uint(27)}});
            changeProperties({{QStringLiteral("Percentage"), uint(92)}});
            changeProperties({{QStringLiteral("Status"), uint(8)}});
            changeProperties({{QStringLiteral("Percentage"), uint(40)}});
            if (answer == u"fail") {
                emitSignal(QStringLiteral("ErrorCode"),
                           {uint(10), QStringLiteral("Failed to download the package")});
                finish(2);
                return;
            }
            for (const QString &id : ids) {
                QFile file(dataFile(m_state, id.section(u';', 0, 0)));
                if (file.open(QIODevice::WriteOnly)) {
                    file.write("model");
                }
            }
            changeProperties(
                {{QStringLiteral("Status"), uint(9)}, {QStringLiteral("Percentage"), uint(100)}});
            finish(1);
        });
    }

private:
    void emitSignal(const QString &name, const QVariantList &arguments)
    {
        QDBusMessage message = QDBusMessage::createSignal(m_path, transactionInterface, name);
        message.setArguments(arguments);
        QDBusConnection::systemBus().send(message);
    }

    void changeProperties(const QVariantMap &changed)
    {
        QDBusMessage message =
            QDBusMessage::createSignal(m_path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                       QStringLiteral("PropertiesChanged"));
        message << transactionInterface << changed << QStringList();
        QDBusConnection::systemBus().send(message);
    }

    void finish(uint exit) { emitSignal(QStringLiteral("Finished"), {exit, uint(10)}); }

    State &m_state;
    QString m_path;
};

class Daemon : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.PackageKit")

public:
    explicit Daemon(State &state) : m_state(state) {}

public Q_SLOTS:
    QDBusObjectPath CreateTransaction()
    {
        const QString path = QStringLiteral("/%1_kelotest").arg(++m_count);
        auto *transaction = new Transaction(m_state, path, this);
        QDBusConnection::systemBus().registerObject(path, transaction,
                                                    QDBusConnection::ExportAllSlots);
        return QDBusObjectPath(path);
    }

private:
    State &m_state;
    int m_count = 0;
};

class Control : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "app.kelolens.MockPackageKit")

public:
    explicit Control(State &state) : m_state(state) {}

public Q_SLOTS:
    void SetAnswer(const QString &answer) { m_state.answer = answer; }
    QStringList Calls() { return m_state.calls; }

private:
    State &m_state;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: kelo-mock-packagekit DATA_DIR\n");
        return 2;
    }
    State state;
    state.dataDir = app.arguments().at(1);
    Daemon daemon(state);
    Control control(state);
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/PackageKit"), &daemon,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerObject(QStringLiteral("/app/kelolens/MockPackageKit"), &control,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.PackageKit"))) {
        std::fprintf(stderr, "kelo-mock-packagekit: cannot register on the system bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

#include "MockPackageKit.moc"
