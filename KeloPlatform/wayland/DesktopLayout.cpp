// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/wayland/DesktopLayout.h"

#include "xdg-output-unstable-v1-client-protocol.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstring>
#include <memory>
#include <numeric>
#include <vector>
#include <wayland-client.h>

namespace KeloPlatform {
namespace {

struct Output
{
    wl_output *output = nullptr;
    zxdg_output_v1 *described = nullptr;
    QRect place;
};

struct Registry
{
    std::vector<std::unique_ptr<Output>> outputs;
    zxdg_output_manager_v1 *manager = nullptr;
};

void announced(void *data, wl_registry *registry, uint32_t name, const char *interface,
               uint32_t version)
{
    auto *found = static_cast<Registry *>(data);
    if (std::strcmp(interface, wl_output_interface.name) == 0) {
        auto output = std::make_unique<Output>();
        output->output = static_cast<wl_output *>(
            wl_registry_bind(registry, name, &wl_output_interface, std::min(version, 2U)));
        found->outputs.push_back(std::move(output));
    } else if (std::strcmp(interface, zxdg_output_manager_v1_interface.name) == 0) {
        found->manager = static_cast<zxdg_output_manager_v1 *>(wl_registry_bind(
            registry, name, &zxdg_output_manager_v1_interface, std::min(version, 2U)));
    }
}

const zxdg_output_v1_listener describedOutput{
    [](void *data, zxdg_output_v1 *, int32_t x, int32_t y) {
        static_cast<Output *>(data)->place.moveTopLeft({x, y});
    },
    [](void *data, zxdg_output_v1 *, int32_t width, int32_t height) {
        static_cast<Output *>(data)->place.setSize({width, height});
    },
    [](void *, zxdg_output_v1 *) {},
    [](void *, zxdg_output_v1 *, const char *) {},
    [](void *, zxdg_output_v1 *, const char *) {},
};

// XWAYLAND3 → 3: XWayland counts its monitors up as the compositor announces them.
int xwaylandNumber(const QString &name)
{
    static const QRegularExpression pattern(QStringLiteral("^XWAYLAND(\\d+)$"));
    const QRegularExpressionMatch match = pattern.match(name);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

} // namespace

QList<QRect> compositorLayout(const QString &waylandDisplay)
{
    if (waylandDisplay.isEmpty()) {
        return {};
    }
    const QByteArray name = waylandDisplay.toLocal8Bit();
    wl_display *connection = wl_display_connect(name.constData());
    if (connection == nullptr) {
        return {};
    }
    Registry found;
    const wl_registry_listener listener{announced, [](void *, wl_registry *, uint32_t) {}};
    wl_registry *registry = wl_display_get_registry(connection);
    wl_registry_add_listener(registry, &listener, &found);
    wl_display_roundtrip(connection);
    QList<QRect> layout;
    if (found.manager != nullptr) {
        for (const auto &output : found.outputs) {
            output->described =
                zxdg_output_manager_v1_get_xdg_output(found.manager, output->output);
            zxdg_output_v1_add_listener(output->described, &describedOutput, output.get());
        }
        wl_display_roundtrip(connection);
        for (const auto &output : found.outputs) {
            layout.append(output->place);
        }
    }
    for (const auto &output : found.outputs) {
        if (output->described != nullptr) {
            zxdg_output_v1_destroy(output->described);
        }
        wl_output_destroy(output->output);
    }
    if (found.manager != nullptr) {
        zxdg_output_manager_v1_destroy(found.manager);
    }
    wl_registry_destroy(registry);
    wl_display_disconnect(connection);
    const bool isComplete = std::all_of(layout.cbegin(), layout.cend(),
                                        [](const QRect &place) { return !place.isEmpty(); });
    return isComplete ? layout : QList<QRect>();
}

QList<QRect> placesInDesktop(const QList<MonitorImage> &monitors, const QList<QRect> &layout)
{
    QList<QRect> places;
    for (const MonitorImage &monitor : monitors) {
        places.append(monitor.geometry);
    }
    if (layout.size() != monitors.size()) {
        return places;
    }
    // Qt's order need not be XWayland's: by XWayland's numbers where every monitor has one.
    QList<qsizetype> order(monitors.size());
    std::iota(order.begin(), order.end(), 0);
    const bool isNumbered = std::all_of(monitors.cbegin(), monitors.cend(),
                                        [](const auto &m) { return xwaylandNumber(m.name) >= 0; });
    if (isNumbered) {
        std::stable_sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
            return xwaylandNumber(monitors[a].name) < xwaylandNumber(monitors[b].name);
        });
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (monitors[order[i]].geometry.size() != layout[i].size()) {
            return places;
        }
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        places[order[i]] = layout[i];
    }
    return places;
}

} // namespace KeloPlatform
