#pragma once

#include "KeloLens/Capture/ScreenCapturer.h"

#include <QList>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QStringList>
#include <functional>
#include <optional>

// An interactive region screenshot tool and how to call it so that it writes a PNG to a given
// path, or nothing when the user cancels.
struct CaptureTool
{
    // The argument that stands for the capture file's path.
    static constexpr auto pathPlaceholder = "{path}";

    CaptureTool() = default;
    CaptureTool(QString program, QStringList arguments, QStringList requiredPrograms = {})
        : program(std::move(program)), arguments(std::move(arguments)),
          requiredPrograms(std::move(requiredPrograms))
    {
    }

    QString program;
    QStringList arguments;
    // Other programs the tool runs, which must be installed too.
    QStringList requiredPrograms;

    bool operator==(const CaptureTool &) const = default;

    [[nodiscard]] QStringList argumentsFor(const QString &path) const;
};

// One screen as the region estimate needs it: its place in global coordinates and its scale.
struct ScreenGeometry
{
    QRect geometry;
    double devicePixelRatio = 1.0;
};

// Captures by running a region screenshot tool as a child process (never through a shell) and
// reading back the image it writes into a private captures folder. The file lives only until it
// has been read: it is deleted on every way out of a capture.
class ScreencaptureCLICapturer : public ScreenCapturer
{
public:
    // Without a tool every capture fails with a message saying what to install.
    explicit ScreencaptureCLICapturer(std::optional<CaptureTool> tool,
                                      QString directory = defaultDirectory());

    // <user cache folder>/app.kelolens.KeloLens/captures (empty when there is no cache folder).
    [[nodiscard]] static QString defaultDirectory();

    // The tools to try, best first, for a desktop (XDG_CURRENT_DESKTOP) and session type
    // (XDG_SESSION_TYPE). Under Wayland only tools that see Wayland windows: X11 tools would
    // capture them black.
    [[nodiscard]] static QList<CaptureTool> candidateTools(const QString &currentDesktop,
                                                           const QString &sessionType);
    // The first candidate that is installed, its program resolved to a full path.
    [[nodiscard]] static std::optional<CaptureTool>
    chooseTool(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
               const std::function<QString(const QString &)> &findExecutable = {});

    [[nodiscard]] const std::optional<CaptureTool> &tool() const { return m_tool; }
    [[nodiscard]] const QString &directory() const { return m_directory; }

    QCoro::Task<CaptureOutcome> capture() override;

    // Where the selection probably was: the tool ends where the drag ends, so the pointer is
    // taken as the selection's bottom-right corner. The image's pixels are turned into
    // device-independent pixels with the scale of the screen under the pointer (2 when no screen
    // contains it).
    [[nodiscard]] static ExactRect estimatedRegion(QSize pixelSize, QPoint pointer,
                                                   const QList<ScreenGeometry> &screens);

    // Why a capture cannot start when no tool is installed.
    [[nodiscard]] static QString missingToolReason();

private:
    std::optional<CaptureTool> m_tool;
    QString m_directory;
};
