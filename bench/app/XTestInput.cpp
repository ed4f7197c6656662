// SPDX-License-Identifier: GPL-3.0-or-later
#include "XTestInput.h"

#include <QThread>

#include <cstdlib>
#include <ctime>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

namespace KeloE2E {
namespace {

constexpr std::uint32_t controlKeysym = 0xffe3;
constexpr std::uint32_t shiftKeysym = 0xffe1;
constexpr std::uint32_t twoKeysym = '2';

} // namespace

struct XTestInput::Connection
{
    xcb_connection_t *connection = nullptr;
    const xcb_screen_t *screen = nullptr;
    std::uint8_t control = 0;
    std::uint8_t shift = 0;
    std::uint8_t two = 0;

    void sync() const
    {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    }

    void fake(std::uint8_t type, std::uint8_t detail) const
    {
        xcb_test_fake_input(connection, type, detail, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    }

    void move(QPoint at) const
    {
        xcb_test_fake_input(connection, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, screen->root,
                            std::int16_t(at.x()), std::int16_t(at.y()), 0);
        xcb_flush(connection);
    }

    [[nodiscard]] std::uint8_t keycode(std::uint32_t keysym) const
    {
        const xcb_setup_t *setup = xcb_get_setup(connection);
        const int count = setup->max_keycode - setup->min_keycode + 1;
        xcb_get_keyboard_mapping_reply_t *mapping = xcb_get_keyboard_mapping_reply(
            connection,
            xcb_get_keyboard_mapping(connection, setup->min_keycode, std::uint8_t(count)), nullptr);
        std::uint8_t found = 0;
        if (mapping != nullptr) {
            const xcb_keysym_t *keysyms = xcb_get_keyboard_mapping_keysyms(mapping);
            for (int code = 0; code < count && found == 0; ++code) {
                if (keysyms[code * mapping->keysyms_per_keycode] == keysym) {
                    found = std::uint8_t(setup->min_keycode + code);
                }
            }
        }
        std::free(mapping);
        return found;
    }
};

XTestInput::XTestInput() : m_x(std::make_unique<Connection>())
{
    m_x->connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(m_x->connection) != 0) {
        return;
    }
    m_x->screen = xcb_setup_roots_iterator(xcb_get_setup(m_x->connection)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(m_x->connection, m_x->screen->root, XCB_CW_EVENT_MASK, &mask);
    m_x->control = m_x->keycode(controlKeysym);
    m_x->shift = m_x->keycode(shiftKeysym);
    m_x->two = m_x->keycode(twoKeysym);
    xcb_flush(m_x->connection);
}

XTestInput::~XTestInput()
{
    xcb_disconnect(m_x->connection);
}

bool XTestInput::isReady() const
{
    return m_x->screen != nullptr && m_x->control != 0 && m_x->shift != 0 && m_x->two != 0;
}

std::int64_t XTestInput::now()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

std::int64_t XTestInput::pressShortcut()
{
    // Only windows mapped from now on count.
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_x->connection)) {
        std::free(event);
    }
    for (const std::uint8_t key : {m_x->control, m_x->shift, m_x->two}) {
        m_x->fake(XCB_KEY_PRESS, key);
    }
    for (const std::uint8_t key : {m_x->two, m_x->shift, m_x->control}) {
        m_x->fake(XCB_KEY_RELEASE, key);
    }
    m_x->sync();
    return now();
}

std::optional<std::int64_t> XTestInput::waitForFullScreenMap(std::chrono::milliseconds timeout)
{
    const std::int64_t end = now() + std::int64_t(timeout.count()) * 1'000'000;
    while (now() < end) {
        xcb_generic_event_t *event = xcb_poll_for_event(m_x->connection);
        if (event == nullptr) {
            QThread::usleep(200);
            continue;
        }
        const std::int64_t at = now();
        bool isFullScreen = false;
        if ((event->response_type & 0x7f) == XCB_MAP_NOTIFY) {
            const auto *map = reinterpret_cast<xcb_map_notify_event_t *>(event);
            xcb_get_geometry_reply_t *geometry = xcb_get_geometry_reply(
                m_x->connection, xcb_get_geometry(m_x->connection, map->window), nullptr);
            isFullScreen = map->override_redirect != 0 && geometry != nullptr &&
                           geometry->width == m_x->screen->width_in_pixels &&
                           geometry->height == m_x->screen->height_in_pixels;
            std::free(geometry);
        }
        std::free(event);
        if (isFullScreen) {
            return at;
        }
    }
    return std::nullopt;
}

std::int64_t XTestInput::drag(QPoint from, QPoint to)
{
    m_x->move(from);
    QThread::msleep(100);
    m_x->fake(XCB_BUTTON_PRESS, 1);
    xcb_flush(m_x->connection);
    QThread::msleep(100);
    constexpr int steps = 20;
    for (int step = 1; step <= steps; ++step) {
        m_x->move(from + (to - from) * step / steps);
        QThread::msleep(15);
    }
    QThread::msleep(100);
    m_x->fake(XCB_BUTTON_RELEASE, 1);
    m_x->sync();
    return now();
}

} // namespace KeloE2E
