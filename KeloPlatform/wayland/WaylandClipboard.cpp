// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/WaylandClipboard.h"

#include "KeloPlatform/wayland/PipeWriter.h"
#include "wlr-data-control-unstable-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <set>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcClipboard, "kelolens.platform.clipboard")

using namespace std::chrono_literals;

constexpr const char *textMimeTypes[] = {"text/plain;charset=utf-8", "text/plain", "UTF8_STRING",
                                         "STRING", "TEXT"};
// How long the focused surface waits for the keyboard focus.
constexpr auto focusTimeout = 1000ms;
constexpr auto configureTimeout = 1000ms;
// Offers the compositor cancelled because the focus had already moved on, before giving up.
constexpr int focusedOfferAttempts = 3;

} // namespace

// What one offered selection serves, until the compositor cancels it.
struct SourceState
{
    WaylandClipboard::Connection *connection = nullptr;
    std::shared_ptr<const QByteArray> text;
    // The source's handle, one of the two; destroyed with the connection while still offered.
    zwlr_data_control_source_v1 *controlSource = nullptr;
    wl_data_source *dataSource = nullptr;

    void cancel();
};

struct WaylandClipboard::Connection
{
    WaylandClipboard::Method method = Method::automatic;
    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    wl_seat *seat = nullptr;
    uint32_t seatCapabilities = 0;
    wl_compositor *compositor = nullptr;
    wl_shm *shm = nullptr;
    xdg_wm_base *wmBase = nullptr;
    wl_data_device_manager *dataDeviceManager = nullptr;
    wl_data_device *dataDevice = nullptr;
    zwlr_data_control_manager_v1 *dataControl = nullptr;
    zwlr_data_control_device_v1 *controlDevice = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;
    // What the sources this connection offered serve, until each is cancelled.
    std::set<SourceState *> sources;
    bool isBroken = false;

    ~Connection();
    [[nodiscard]] bool open(const QString &displayName);
    [[nodiscard]] bool usesDataControl() const
    {
        return dataControl != nullptr && seat != nullptr && method == Method::automatic;
    }
    // Reads and dispatches what the compositor sent, waiting at most `timeout` for it.
    void pump(std::chrono::milliseconds timeout);
    // Pumps until the condition holds; false when the time ran out or the connection broke.
    bool pumpUntil(const std::function<bool()> &condition, std::chrono::milliseconds timeout);
    bool roundtrip();
    bool writeWithDataControl(std::shared_ptr<const QByteArray> text);
    bool writeWithFocusedSurface(const std::shared_ptr<const QByteArray> &text);

    enum class Offer { taken, cancelled, failed };
    // One short-lived surface that waits for the keyboard focus and then offers the text.
    Offer offerFromFocusedSurface(const std::shared_ptr<const QByteArray> &text);
};

namespace {

using Connection = WaylandClipboard::Connection;

// Listeners. libwayland calls every entry of a listener it has, so none may be null.

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t version)
{
    auto *connection = static_cast<Connection *>(data);
    const auto bind = [&](const wl_interface *wanted, uint32_t highest) {
        return wl_registry_bind(registry, name, wanted, std::min(version, highest));
    };
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && connection->seat == nullptr) {
        connection->seat = static_cast<wl_seat *>(bind(&wl_seat_interface, 5));
    } else if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        connection->compositor = static_cast<wl_compositor *>(bind(&wl_compositor_interface, 4));
    } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        connection->shm = static_cast<wl_shm *>(bind(&wl_shm_interface, 1));
    } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        connection->wmBase = static_cast<xdg_wm_base *>(bind(&xdg_wm_base_interface, 1));
    } else if (std::strcmp(interface, wl_data_device_manager_interface.name) == 0) {
        connection->dataDeviceManager =
            static_cast<wl_data_device_manager *>(bind(&wl_data_device_manager_interface, 3));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        connection->dataControl = static_cast<zwlr_data_control_manager_v1 *>(
            bind(&zwlr_data_control_manager_v1_interface, 1));
    }
}

void onGlobalRemove(void *, wl_registry *, uint32_t) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemove};

void onSeatCapabilities(void *data, wl_seat *, uint32_t capabilities)
{
    static_cast<Connection *>(data)->seatCapabilities = capabilities;
}

void onSeatName(void *, wl_seat *, const char *) {}

const wl_seat_listener seatListener{onSeatCapabilities, onSeatName};

void onPing(void *, xdg_wm_base *base, uint32_t serial)
{
    xdg_wm_base_pong(base, serial);
}

const xdg_wm_base_listener wmBaseListener{onPing};

// Selections offered to us are not read: their handles are let go at once.
void onControlOffer(void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *) {}

void onControlSelection(void *, zwlr_data_control_device_v1 *, zwlr_data_control_offer_v1 *offer)
{
    if (offer != nullptr) {
        zwlr_data_control_offer_v1_destroy(offer);
    }
}

void onControlFinished(void *data, zwlr_data_control_device_v1 *device)
{
    zwlr_data_control_device_v1_destroy(device);
    static_cast<Connection *>(data)->controlDevice = nullptr;
}

const zwlr_data_control_device_v1_listener controlDeviceListener{
    onControlOffer, onControlSelection, onControlFinished, onControlSelection};

void onControlSend(void *data, zwlr_data_control_source_v1 *, const char *, int32_t fd)
{
    PipeWriter::start(fd, static_cast<SourceState *>(data)->text);
}

void onControlCancelled(void *data, zwlr_data_control_source_v1 *source)
{
    static_cast<SourceState *>(data)->cancel();
    zwlr_data_control_source_v1_destroy(source);
}

const zwlr_data_control_source_v1_listener controlSourceListener{onControlSend, onControlCancelled};

void onSourceTarget(void *, wl_data_source *, const char *) {}

void onSourceSend(void *data, wl_data_source *, const char *, int32_t fd)
{
    PipeWriter::start(fd, static_cast<SourceState *>(data)->text);
}

void onSourceCancelled(void *data, wl_data_source *source)
{
    static_cast<SourceState *>(data)->cancel();
    wl_data_source_destroy(source);
}

void onSourceDropPerformed(void *, wl_data_source *) {}
void onSourceDropFinished(void *, wl_data_source *) {}
void onSourceAction(void *, wl_data_source *, uint32_t) {}

const wl_data_source_listener sourceListener{onSourceTarget,       onSourceSend,
                                             onSourceCancelled,    onSourceDropPerformed,
                                             onSourceDropFinished, onSourceAction};

void onDeviceOffer(void *, wl_data_device *, wl_data_offer *) {}
void onDeviceEnter(void *, wl_data_device *, uint32_t, wl_surface *, wl_fixed_t, wl_fixed_t,
                   wl_data_offer *offer)
{
    if (offer != nullptr) {
        wl_data_offer_destroy(offer);
    }
}
void onDeviceLeave(void *, wl_data_device *) {}
void onDeviceMotion(void *, wl_data_device *, uint32_t, wl_fixed_t, wl_fixed_t) {}
void onDeviceDrop(void *, wl_data_device *) {}
void onDeviceSelection(void *, wl_data_device *, wl_data_offer *offer)
{
    if (offer != nullptr) {
        wl_data_offer_destroy(offer);
    }
}

const wl_data_device_listener deviceListener{onDeviceOffer,  onDeviceEnter, onDeviceLeave,
                                             onDeviceMotion, onDeviceDrop,  onDeviceSelection};

// The short-lived surface's state while it waits for the focus.
struct FocusWait
{
    wl_surface *surface = nullptr;
    bool isConfigured = false;
    std::optional<uint32_t> enterSerial;
};

void onSurfaceConfigure(void *data, xdg_surface *surface, uint32_t serial)
{
    xdg_surface_ack_configure(surface, serial);
    static_cast<FocusWait *>(data)->isConfigured = true;
}

const xdg_surface_listener surfaceListener{onSurfaceConfigure};

void onToplevelConfigure(void *, xdg_toplevel *, int32_t, int32_t, wl_array *) {}
void onToplevelClose(void *, xdg_toplevel *) {}
void onToplevelBounds(void *, xdg_toplevel *, int32_t, int32_t) {}
void onToplevelCapabilities(void *, xdg_toplevel *, wl_array *) {}

const xdg_toplevel_listener toplevelListener{onToplevelConfigure, onToplevelClose, onToplevelBounds,
                                             onToplevelCapabilities};

void onKeymap(void *, wl_keyboard *, uint32_t, int32_t fd, uint32_t)
{
    ::close(fd);
}
void onEnter(void *data, wl_keyboard *, uint32_t serial, wl_surface *surface, wl_array *)
{
    auto *wait = static_cast<FocusWait *>(data);
    if (surface == wait->surface) {
        wait->enterSerial = serial;
    }
}
void onLeave(void *, wl_keyboard *, uint32_t, wl_surface *) {}
void onKey(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onModifiers(void *, wl_keyboard *, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void onRepeatInfo(void *, wl_keyboard *, int32_t, int32_t) {}

const wl_keyboard_listener keyboardListener{onKeymap, onEnter,     onLeave,
                                            onKey,    onModifiers, onRepeatInfo};

// A transparent 1 by 1 pixel buffer: a surface needs content to be shown and focused.
wl_buffer *transparentPixel(wl_shm *shm)
{
    const int fd = memfd_create("kelolens-clipboard", MFD_CLOEXEC);
    if (fd < 0) {
        return nullptr;
    }
    wl_buffer *buffer = nullptr;
    if (::ftruncate(fd, 4) == 0) {
        wl_shm_pool *pool = wl_shm_create_pool(shm, fd, 4);
        buffer = wl_shm_pool_create_buffer(pool, 0, 1, 1, 4, WL_SHM_FORMAT_ARGB8888);
        wl_shm_pool_destroy(pool);
    }
    ::close(fd);
    return buffer;
}

} // namespace

void SourceState::cancel()
{
    connection->sources.erase(this);
    delete this;
}

WaylandClipboard::Connection::~Connection()
{
    notifier.reset();
    for (SourceState *source : sources) {
        if (source->controlSource != nullptr) {
            zwlr_data_control_source_v1_destroy(source->controlSource);
        }
        if (source->dataSource != nullptr) {
            wl_data_source_destroy(source->dataSource);
        }
        delete source;
    }
    if (display == nullptr) {
        return;
    }
    if (controlDevice != nullptr) {
        zwlr_data_control_device_v1_destroy(controlDevice);
    }
    if (dataControl != nullptr) {
        zwlr_data_control_manager_v1_destroy(dataControl);
    }
    if (dataDevice != nullptr) {
        wl_data_device_destroy(dataDevice);
    }
    if (dataDeviceManager != nullptr) {
        wl_data_device_manager_destroy(dataDeviceManager);
    }
    if (wmBase != nullptr) {
        xdg_wm_base_destroy(wmBase);
    }
    if (shm != nullptr) {
        wl_shm_destroy(shm);
    }
    if (compositor != nullptr) {
        wl_compositor_destroy(compositor);
    }
    if (seat != nullptr) {
        wl_seat_destroy(seat);
    }
    if (registry != nullptr) {
        wl_registry_destroy(registry);
    }
    // Sources still on the clipboard are dropped with the connection; the compositor then
    // clears the selection.
    wl_display_disconnect(display);
}

bool WaylandClipboard::Connection::open(const QString &displayName)
{
    const QByteArray name = displayName.toLocal8Bit();
    display = wl_display_connect(name.isEmpty() ? nullptr : name.constData());
    if (display == nullptr) {
        return false;
    }
    registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, this);
    if (!roundtrip()) {
        return false;
    }
    if (seat != nullptr) {
        wl_seat_add_listener(seat, &seatListener, this);
    }
    if (wmBase != nullptr) {
        xdg_wm_base_add_listener(wmBase, &wmBaseListener, this);
    }
    if (!roundtrip() || seat == nullptr ||
        (dataControl == nullptr && dataDeviceManager == nullptr)) {
        return false;
    }
    // Requests to send our text arrive while the application idles.
    notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                     [this] { pump(0ms); });
    return true;
}

void WaylandClipboard::Connection::pump(std::chrono::milliseconds timeout)
{
    if (isBroken) {
        return;
    }
    while (wl_display_prepare_read(display) != 0) {
        wl_display_dispatch_pending(display);
    }
    wl_display_flush(display);
    pollfd descriptor{wl_display_get_fd(display), POLLIN, 0};
    const int ready = ::poll(&descriptor, 1, int(timeout.count()));
    if (ready > 0) {
        if (wl_display_read_events(display) < 0) {
            isBroken = true;
        }
    } else {
        wl_display_cancel_read(display);
    }
    if (wl_display_dispatch_pending(display) < 0 || wl_display_get_error(display) != 0) {
        isBroken = true;
    }
    if (isBroken) {
        if (notifier) {
            notifier->setEnabled(false);
        }
        qCWarning(lcClipboard).noquote()
            << QStringLiteral("KeloLens: the connection to the Wayland compositor broke (%1)")
                   .arg(QString::fromLocal8Bit(std::strerror(wl_display_get_error(display))));
    }
}

bool WaylandClipboard::Connection::pumpUntil(const std::function<bool()> &condition,
                                             std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (isBroken || left.count() <= 0) {
            return false;
        }
        pump(left);
    }
    return true;
}

bool WaylandClipboard::Connection::roundtrip()
{
    if (isBroken || wl_display_roundtrip(display) < 0) {
        isBroken = true;
        return false;
    }
    return true;
}

bool WaylandClipboard::Connection::writeWithDataControl(std::shared_ptr<const QByteArray> text)
{
    if (controlDevice == nullptr) {
        controlDevice = zwlr_data_control_manager_v1_get_data_device(dataControl, seat);
        zwlr_data_control_device_v1_add_listener(controlDevice, &controlDeviceListener, this);
    }
    zwlr_data_control_source_v1 *source =
        zwlr_data_control_manager_v1_create_data_source(dataControl);
    for (const char *mimeType : textMimeTypes) {
        zwlr_data_control_source_v1_offer(source, mimeType);
    }
    auto *state = new SourceState{this, std::move(text)};
    state->controlSource = source;
    sources.insert(state);
    zwlr_data_control_source_v1_add_listener(source, &controlSourceListener, state);
    zwlr_data_control_device_v1_set_selection(controlDevice, source);
    return roundtrip();
}

bool WaylandClipboard::Connection::writeWithFocusedSurface(
    const std::shared_ptr<const QByteArray> &text)
{
    if (dataDeviceManager == nullptr || compositor == nullptr || wmBase == nullptr ||
        shm == nullptr || (seatCapabilities & WL_SEAT_CAPABILITY_KEYBOARD) == 0) {
        return false;
    }
    // The compositor takes the selection only from the client that has the keyboard focus when
    // the request arrives. The focus can move on in between (GNOME gives it back to the window
    // under a full-screen one that just closed); the offer is cancelled then, and a new surface
    // asks again.
    for (int attempt = 0; attempt < focusedOfferAttempts; ++attempt) {
        switch (offerFromFocusedSurface(text)) {
        case Offer::taken:
            return true;
        case Offer::cancelled:
            qCInfo(lcClipboard).noquote()
                << QStringLiteral("KeloLens: the focus moved on before the compositor took the "
                                  "clipboard; asking again");
            break;
        case Offer::failed:
            return false;
        }
    }
    return false;
}

WaylandClipboard::Connection::Offer
WaylandClipboard::Connection::offerFromFocusedSurface(const std::shared_ptr<const QByteArray> &text)
{
    FocusWait wait;
    wl_keyboard *keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(keyboard, &keyboardListener, &wait);
    wait.surface = wl_compositor_create_surface(compositor);
    xdg_surface *shellSurface = xdg_wm_base_get_xdg_surface(wmBase, wait.surface);
    xdg_surface_add_listener(shellSurface, &surfaceListener, &wait);
    xdg_toplevel *toplevel = xdg_surface_get_toplevel(shellSurface);
    xdg_toplevel_add_listener(toplevel, &toplevelListener, &wait);
    xdg_toplevel_set_title(toplevel, "KeloLens");
    xdg_toplevel_set_app_id(toplevel, "app.kelolens.KeloLens");
    wl_surface_commit(wait.surface);

    wl_buffer *buffer = nullptr;
    Offer offer = Offer::failed;
    if (pumpUntil([&] { return wait.isConfigured; }, configureTimeout)) {
        buffer = transparentPixel(shm);
        wl_surface_attach(wait.surface, buffer, 0, 0);
        wl_surface_commit(wait.surface);
        if (buffer != nullptr &&
            pumpUntil([&] { return wait.enterSerial.has_value(); }, focusTimeout)) {
            if (dataDevice == nullptr) {
                dataDevice = wl_data_device_manager_get_data_device(dataDeviceManager, seat);
                wl_data_device_add_listener(dataDevice, &deviceListener, this);
            }
            wl_data_source *source = wl_data_device_manager_create_data_source(dataDeviceManager);
            for (const char *mimeType : textMimeTypes) {
                wl_data_source_offer(source, mimeType);
            }
            auto *state = new SourceState{this, text};
            state->dataSource = source;
            sources.insert(state);
            wl_data_source_add_listener(source, &sourceListener, state);
            wl_data_device_set_selection(dataDevice, source, *wait.enterSerial);
            if (roundtrip()) {
                // A cancelled offer has let go of its state by now.
                offer = sources.contains(state) ? Offer::taken : Offer::cancelled;
            }
        }
    }
    xdg_toplevel_destroy(toplevel);
    xdg_surface_destroy(shellSurface);
    wl_surface_destroy(wait.surface);
    if (buffer != nullptr) {
        wl_buffer_destroy(buffer);
    }
    if (wl_keyboard_get_version(keyboard) >= WL_KEYBOARD_RELEASE_SINCE_VERSION) {
        wl_keyboard_release(keyboard);
    } else {
        wl_keyboard_destroy(keyboard);
    }
    return roundtrip() ? offer : Offer::failed;
}

WaylandClipboard::WaylandClipboard(std::unique_ptr<Connection> connection)
    : m_connection(std::move(connection))
{
}

WaylandClipboard::~WaylandClipboard() = default;

std::unique_ptr<WaylandClipboard> WaylandClipboard::connect(const QString &displayName,
                                                            Method method)
{
    auto connection = std::make_unique<Connection>();
    connection->method = method;
    if (!connection->open(displayName)) {
        return nullptr;
    }
    return std::unique_ptr<WaylandClipboard>(new WaylandClipboard(std::move(connection)));
}

bool WaylandClipboard::usesDataControl() const
{
    return m_connection->usesDataControl();
}

bool WaylandClipboard::writeText(const QString &text)
{
    if (m_connection->isBroken) {
        return false;
    }
    auto data = std::make_shared<const QByteArray>(text.toUtf8());
    const bool isSet = m_connection->usesDataControl()
                           ? m_connection->writeWithDataControl(std::move(data))
                           : m_connection->writeWithFocusedSurface(std::move(data));
    if (!isSet) {
        qCWarning(lcClipboard).noquote()
            << QStringLiteral("KeloLens: the compositor did not take the clipboard (%1)")
                   .arg(m_connection->usesDataControl()
                            ? QStringLiteral("data control")
                            : QStringLiteral("no keyboard focus for a surface"));
    }
    return isSet;
}

} // namespace KeloPlatform
