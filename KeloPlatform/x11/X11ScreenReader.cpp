// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloPlatform/ScreenReader.h"
#include "KeloPlatform/x11/X11Services.h"
#include "KeloPlatform/x11/XcbConnection.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QScreen>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <sys/mman.h>
#include <tuple>
#include <unistd.h>
#include <xcb/shm.h>
#include <xcb/xcb.h>

namespace KeloPlatform {
namespace {

Q_LOGGING_CATEGORY(lcScreenReader, "kelolens.platform.screen")

using detail::ReplyPtr;

// How the server lays out the pixels of the root window, as far as a QImage can take them as
// they are.
struct PixelLayout
{
    QImage::Format format = QImage::Format_Invalid;
    int bitsPerPixel = 0;
    int scanlinePad = 0;

    [[nodiscard]] int bytesPerLine(int width) const
    {
        const int bits = width * bitsPerPixel;
        return (bits + scanlinePad - 1) / scanlinePad * scanlinePad / 8;
    }
};

std::optional<PixelLayout> pixelLayout(xcb_connection_t *connection, const xcb_screen_t &screen)
{
    const xcb_setup_t *setup = xcb_get_setup(connection);
    // Pixels arrive in the server's byte order; QImage's 32- and 16-bit formats are in the host's.
    const bool isServerLittleEndian = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
    if (isServerLittleEndian != (Q_BYTE_ORDER == Q_LITTLE_ENDIAN)) {
        return std::nullopt;
    }
    PixelLayout layout;
    for (auto formats = xcb_setup_pixmap_formats_iterator(setup); formats.rem > 0;
         xcb_format_next(&formats)) {
        if (formats.data->depth == screen.root_depth) {
            layout.bitsPerPixel = formats.data->bits_per_pixel;
            layout.scanlinePad = formats.data->scanline_pad;
        }
    }
    const xcb_visualtype_t *visual = nullptr;
    for (auto depths = xcb_screen_allowed_depths_iterator(&screen); depths.rem > 0 && !visual;
         xcb_depth_next(&depths)) {
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem > 0;
             xcb_visualtype_next(&visuals)) {
            if (visuals.data->visual_id == screen.root_visual) {
                visual = visuals.data;
                break;
            }
        }
    }
    if (visual == nullptr || layout.scanlinePad <= 0) {
        return std::nullopt;
    }
    const auto masks = std::tuple(visual->red_mask, visual->green_mask, visual->blue_mask);
    if (layout.bitsPerPixel == 32 && masks == std::tuple(0xff0000u, 0xff00u, 0xffu)) {
        layout.format = QImage::Format_RGB32;
    } else if (layout.bitsPerPixel == 32 && masks == std::tuple(0x3ff00000u, 0xffc00u, 0x3ffu)) {
        layout.format = QImage::Format_RGB30;
    } else if (layout.bitsPerPixel == 16 && masks == std::tuple(0xf800u, 0x7e0u, 0x1fu)) {
        layout.format = QImage::Format_RGB16;
    } else {
        return std::nullopt;
    }
    return layout;
}

// Shared memory the server writes the pixels into: a memory file handed over as a descriptor, so
// no System V segment can outlive this process.
bool hasShmFd(xcb_connection_t *connection)
{
    const xcb_query_extension_reply_t *extension = xcb_get_extension_data(connection, &xcb_shm_id);
    if (extension == nullptr || extension->present == 0) {
        return false;
    }
    ReplyPtr<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(connection, xcb_shm_query_version(connection), nullptr));
    return version && (version->major_version > 1 ||
                       (version->major_version == 1 && version->minor_version >= 2));
}

struct Mapping
{
    void *data = MAP_FAILED;
    size_t size = 0;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->data, mapping->size);
    delete mapping;
}

// The rectangle (in the server's pixels) through shared memory; the image keeps the mapping.
QImage readShared(xcb_connection_t *connection, xcb_window_t root, const QRect &rect,
                  const PixelLayout &layout)
{
    const int bytesPerLine = layout.bytesPerLine(rect.width());
    const auto size = size_t(bytesPerLine) * size_t(rect.height());
    const int fd = memfd_create("kelolens-screen", MFD_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    if (ftruncate(fd, off_t(size)) != 0) {
        close(fd);
        return {};
    }
    auto *mapping =
        new Mapping{mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0), size};
    if (mapping->data == MAP_FAILED) {
        close(fd);
        delete mapping;
        return {};
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    // The connection sends the descriptor and closes it.
    xcb_shm_attach_fd(connection, segment, fd, 0);
    xcb_generic_error_t *error = nullptr;
    ReplyPtr<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
        connection,
        xcb_shm_get_image(connection, root, int16_t(rect.x()), int16_t(rect.y()),
                          uint16_t(rect.width()), uint16_t(rect.height()), ~0u,
                          XCB_IMAGE_FORMAT_Z_PIXMAP, segment, 0),
        &error));
    xcb_shm_detach(connection, segment);
    xcb_flush(connection);
    std::free(error);
    if (!reply) {
        unmap(mapping);
        return {};
    }
    return QImage(static_cast<uchar *>(mapping->data), rect.width(), rect.height(), bytesPerLine,
                  layout.format, unmap, mapping);
}

// The same over the connection itself, where the server has no shared memory for us.
QImage readCopied(xcb_connection_t *connection, xcb_window_t root, const QRect &rect,
                  const PixelLayout &layout)
{
    xcb_generic_error_t *error = nullptr;
    ReplyPtr<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        connection,
        xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, root, int16_t(rect.x()),
                      int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u),
        &error));
    std::free(error);
    const int bytesPerLine = layout.bytesPerLine(rect.width());
    if (!reply || xcb_get_image_data_length(reply.get()) < bytesPerLine * rect.height()) {
        return {};
    }
    return QImage(xcb_get_image_data(reply.get()), rect.width(), rect.height(), bytesPerLine,
                  layout.format)
        .copy();
}

// Reads the root window, which holds what every monitor shows, through Qt's own connection. Qt's
// global coordinates keep each screen's top-left corner in the server's pixels and divide its
// size by the screen's scale, so that is where each monitor's pixels are.
class X11ScreenReader final : public ScreenReader
{
public:
    [[nodiscard]] bool canRead() const override { return detail::qtXcbConnection() != nullptr; }

    QCoro::Task<ScreenContents> read() override { co_return readNow(); }

private:
    static ScreenContents readNow()
    {
        xcb_connection_t *connection = detail::qtXcbConnection();
        const xcb_screen_t *screen = detail::firstScreen(connection);
        if (screen == nullptr) {
            return {{}, screenReadFailure(QStringLiteral("there is no X server connection."))};
        }
        const std::optional<PixelLayout> layout = pixelLayout(connection, *screen);
        if (!layout) {
            return {{},
                    screenReadFailure(QStringLiteral("the X server's pixel format (depth %1) is "
                                                     "not supported.")
                                          .arg(screen->root_depth))};
        }
        const bool isShared = hasShmFd(connection);
        const QRect root(0, 0, screen->width_in_pixels, screen->height_in_pixels);
        ScreenContents contents;
        for (const QScreen *monitor : QGuiApplication::screens()) {
            const QRect geometry = monitor->geometry();
            const QSize pixels = (QSizeF(geometry.size()) * monitor->devicePixelRatio()).toSize();
            const QRect native = QRect(geometry.topLeft(), pixels).intersected(root);
            QImage image;
            if (!native.isEmpty()) {
                image = isShared ? readShared(connection, screen->root, native, *layout) : QImage();
                if (image.isNull()) {
                    image = readCopied(connection, screen->root, native, *layout);
                }
            }
            if (image.isNull()) {
                qCWarning(lcScreenReader).noquote()
                    << QStringLiteral("KeloLens: the X server gave no pixels for monitor %1 at %2")
                           .arg(monitor->name())
                           .arg(QStringLiteral("%1,%2 %3x%4")
                                    .arg(native.x())
                                    .arg(native.y())
                                    .arg(native.width())
                                    .arg(native.height()));
                return {{}, screenReadFailure(QStringLiteral("the X server refused it."))};
            }
            contents.monitors.append({monitor->name(), geometry, image});
        }
        if (contents.monitors.isEmpty()) {
            contents.failure = screenReadFailure(QStringLiteral("no monitor is connected."));
        }
        return contents;
    }
};

} // namespace

std::unique_ptr<ScreenReader> createX11ScreenReader()
{
    return std::make_unique<X11ScreenReader>();
}

} // namespace KeloPlatform
