// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Private to the platform layer: how the desktop portals are called. The rest of the application
// never sees D-Bus types.

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <chrono>
#include <coroutine>
#include <functional>
#include <optional>

namespace KeloPlatform::portal {

inline constexpr auto desktopService = "org.freedesktop.portal.Desktop";
inline constexpr auto desktopPath = "/org/freedesktop/portal/desktop";

// How a portal request ended.
struct PortalResponse
{
    enum class Outcome {
        success,
        // The user dismissed the desktop's dialog.
        cancelled,
        // The portal reported a failure.
        failed,
        // The portal could not be called: not running, or without this interface.
        unreachable,
        // No answer came in time.
        timedOut,
    };

    Outcome outcome = Outcome::failed;
    QVariantMap results;
    // Why it failed or timed out, for the log.
    QString error;
};

// A fresh token for a request or session handle: a valid object path element, unique in this
// process.
[[nodiscard]] QString newHandleToken();

// The object path the portal gives a request or session (`kind` "request" or "session") that this
// connection asked for with `token`.
[[nodiscard]] QString handlePath(const QDBusConnection &bus, const QString &kind,
                                 const QString &token);

// An object path from a portal's results; portals disagree on whether they send a session
// handle as an object path or as a string.
[[nodiscard]] QString objectPathText(const QVariant &value);

// The version a portal interface reports, absent when the portal or the interface is missing.
// Waits at most `timeout` (the portal may be started on demand).
[[nodiscard]] std::optional<uint> interfaceVersion(const QDBusConnection &bus,
                                                   const QString &interface,
                                                   std::chrono::milliseconds timeout);

// One portal call that answers later through a Request object. The handle token is added to the
// call's options (its last argument), and the Response signal of the path it predicts is
// subscribed before the call is sent, so an early answer is not missed. Finishes exactly once,
// through onFinished: with the portal's response, with the call's error, or with a timeout, after
// which the request is closed on the portal's side (its dialog goes away). Main thread only.
class PortalRequest : public QObject
{
    Q_OBJECT

public:
    // `arguments` end with the options map. A zero timeout waits for ever.
    PortalRequest(QDBusConnection bus, QString interface, QString method, QVariantList arguments,
                  std::chrono::milliseconds timeout, QObject *parent = nullptr);
    // A request still waiting is closed on the portal's side; onFinished is not called.
    ~PortalRequest() override;

    void start();
    // Closes the request on the portal's side; onFinished is not called.
    void cancel();
    [[nodiscard]] bool isFinished() const { return m_isFinished; }

    std::function<void(const PortalResponse &response)> onFinished;

private Q_SLOTS:
    void onResponse(uint code, const QVariantMap &results);

private:
    [[nodiscard]] bool subscribe(const QString &path);
    void unsubscribe();
    void closeOnPortal();
    void finish(PortalResponse response);

    QDBusConnection m_bus;
    QString m_interface;
    QString m_method;
    QVariantList m_arguments;
    QString m_path;
    QString m_subscribedPath;
    QTimer m_timer;
    std::chrono::milliseconds m_timeout;
    bool m_isStarted = false;
    bool m_isFinished = false;
};

// Suspends a coroutine until the request finishes, and resumes it from the event loop with the
// response. The request must outlive the wait.
class ResponseAwaiter
{
public:
    explicit ResponseAwaiter(PortalRequest &request) : m_request(&request) {}

    bool await_ready() const { return false; }
    void await_suspend(std::coroutine_handle<> handle);
    PortalResponse await_resume() { return std::move(m_response); }

private:
    PortalRequest *m_request;
    PortalResponse m_response;
};

// A portal session (global shortcuts, remote control): closed when this object goes, or when the
// portal ends it. Main thread only.
class PortalSession : public QObject
{
    Q_OBJECT

public:
    PortalSession(QDBusConnection bus, QString path, QObject *parent = nullptr);
    ~PortalSession() override;

    [[nodiscard]] const QString &path() const { return m_path; }
    [[nodiscard]] bool isClosed() const { return m_isClosed; }
    void close();

    // The portal closed the session on its own (the user revoked it, the desktop ended it).
    std::function<void()> onClosed;

private Q_SLOTS:
    void onPortalClosed(const QVariantMap &details);

private:
    QDBusConnection m_bus;
    QString m_path;
    bool m_isClosed = false;
};

} // namespace KeloPlatform::portal
