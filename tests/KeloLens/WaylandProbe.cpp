// Stands in for the application on a Wayland compositor until the application itself runs there
// in the tests: picks the Qt platform and the platform backend the way KeloLens does, becomes the
// session's one instance, and on a "capture" request from a later launch ("--capture") runs one
// capture through the capture flow with the panel off. Prints what happens, one line each.

#include "KeloHotkey/KeyboardLayout.h"
#include "KeloLens/AppDelegate/SingleInstance.h"
#include "KeloLens/Capture/CaptureFlow.h"
#include "KeloLens/Capture/CapturerChoice.h"
#include "KeloLens/Capture/SystemPermissionChecker.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"

#include <QApplication>
#include <cstdio>

namespace {

void say(const QString &line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    const QString qtPlatform =
        KeloPlatform::preferredQtPlatform(QProcessEnvironment::systemEnvironment());
    if (!qtPlatform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", qtPlatform.toLatin1());
    }
    QApplication app(argc, argv);
    const bool isCapture = app.arguments().contains(QStringLiteral("--capture"));

    SingleInstance instance;
    switch (instance.start(isCapture ? "capture" : "reopen")) {
    case SingleInstance::Role::secondary:
        say(QStringLiteral("handed over"));
        return 0;
    case SingleInstance::Role::failed:
        say(QStringLiteral("failed ") + instance.errorString());
        return 2;
    case SingleInstance::Role::primary:
        break;
    }

    const auto platform = KeloPlatform::loadPlatform();
    say(QStringLiteral("backend %1 qt %2").arg(platform->backend, QGuiApplication::platformName()));
    const auto capturer = createScreenCapturer(*platform->screenshots);
    SystemPermissionChecker permission(platform->screenshots.get());
    Recognizer recognizer;
    PasteService paste(*platform->windowSystem, *platform->syntheticKeys,
                       KeyboardLayout(*platform->keymapSource), platform->clipboard.get());
    CaptureFlow::Outputs outputs;
    outputs.clipboard = [&](const QString &text) {
        say(paste.writePlainText(text) ? QStringLiteral("clipboard %1").arg(text.size())
                                       : QStringLiteral("clipboard failed"));
    };
    outputs.toast = [](const QString &message, std::optional<ToastLink>) {
        say(QStringLiteral("toast ") + message);
    };
    outputs.permissionDenied = [] { say(QStringLiteral("permission denied")); };
    CaptureFlow flow(
        *capturer, permission, recognizer,
        [] {
            CaptureSettings settings;
            settings.showPanel = false;
            return settings;
        },
        outputs);
    QObject::connect(&instance, &SingleInstance::requestReceived, &app,
                     [&](const QByteArray &request) {
                         if (request == "capture") {
                             flow.run(false);
                         }
                     });
    say(QStringLiteral("ready"));
    return app.exec();
}
