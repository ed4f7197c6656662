// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "KeloLens/Capture/CaptureFiles.h"
#include "KeloLens/Capture/ScreenCapturer.h"

#include <QList>
#include <QPoint>
#include <QProcessEnvironment>
#include <QRect>
#include <QSize>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class CaptureToolRun;

// An interactive region screenshot tool and how to call it so that it writes a PNG to a given
// path, or nothing when the user cancels.
struct CaptureTool
{
    // The argument that stands for the capture file's path.
    static constexpr auto pathPlaceholder = "{path}";

    QString program;
    QStringList arguments;
    // Exit statuses by which the tool says the user cancelled (maim: 1 on Escape), not logged.
    QList<int> cancelStatuses;
    // Other programs the tool runs, which must be installed too.
    QStringList requiredPrograms;
    // Whether the pointer this process sees is where the drag ended. Not under Wayland: there it
    // is the last place it crossed an X11 window, and the panel would cover the selection.
    bool isPointerAtSelection = true;

    bool operator==(const CaptureTool &) const = default;

    [[nodiscard]] QStringList argumentsFor(const QString &path) const;
};

// What to install where no region tool is found: a name short enough for a toast, and the
// command.
struct ToolToInstall
{
    QString name;
    QString command;

    bool operator==(const ToolToInstall &) const = default;
};

// One screen as the region estimate needs it: its place in global coordinates and its scale.
struct ScreenGeometry
{
    QRect geometry;
    double devicePixelRatio = 1.0;
};

// Captures by running a region screenshot tool as a child process (never through a shell) and
// reading back the image it writes into a private captures folder. The file lives only until it
// has been read: it is deleted on every way out of a capture, cancel() and destruction included,
// and a tool still running then is stopped.
class ScreencaptureCLICapturer : public ScreenCapturer
{
public:
    // A tool that has not ended after this long is taken to hang: it is stopped and the capture
    // fails, so that a later capture can start.
    static constexpr std::chrono::milliseconds toolTimeout = std::chrono::minutes(2);

    // Without a tool every capture fails with a message saying what to install (`install`).
    explicit ScreencaptureCLICapturer(std::optional<CaptureTool> tool,
                                      QString directory = CaptureFiles::defaultFolder(),
                                      std::chrono::milliseconds timeout = toolTimeout,
                                      ToolToInstall install = toolToInstall({}));
    // Cancels a capture under way.
    ~ScreencaptureCLICapturer() override;
    ScreencaptureCLICapturer(const ScreencaptureCLICapturer &) = delete;
    ScreencaptureCLICapturer &operator=(const ScreencaptureCLICapturer &) = delete;

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
    // The tool is stopped and the capture completes at once.
    void cancel() override;
    int removeLeftovers() override;

    // Where the selection probably was: the tool ends where the drag ends, so the pointer is
    // taken as the selection's bottom-right corner. The image's pixels are turned into
    // device-independent pixels with the scale of the screen under the pointer (2 when no screen
    // contains it).
    [[nodiscard]] static ExactRect estimatedRegion(QSize pixelSize, QPoint pointer,
                                                   const QList<ScreenGeometry> &screens);

    // The tool to suggest for a session, from its environment as chooseTool() reads it.
    [[nodiscard]] static ToolToInstall toolToInstall(const QProcessEnvironment &environment);
    [[nodiscard]] QString missingToolCommand() const override;
    // The message of a capture whose tool left no file but an error.
    [[nodiscard]] static QString toolErrorMessage(const CaptureTool &tool);
    // The message of a capture whose tool ran out of time.
    [[nodiscard]] static QString stoppedRespondingMessage(const CaptureTool &tool);

private:
    std::optional<CaptureTool> m_tool;
    QString m_directory;
    std::chrono::milliseconds m_timeout;
    ToolToInstall m_install;
    // The capture under way; owned by its coroutine, which may outlive this object briefly.
    std::weak_ptr<CaptureToolRun> m_running;
};
