// SPDX-License-Identifier: GPL-3.0-or-later
// kelolens-screenshots --output DIR [--expect-compositing | --tray-icon NAME]
//     Shows the windows of KeloLens in their main states on the current X display, over a
//     backdrop window, and saves what the screen shows as PNG files in DIR: the results panel with
//     text and chips in a light and a dark palette, a code capture, the Wi-Fi details, the state
//     without permission to paste, toasts with and without an action, every settings page and
//     every onboarding step, light and dark; with --tray-icon only the tray icon. Run it once with
//     and once without a compositing manager (scripts/screenshots.sh does both).
#include "KeloLens/Results/ReadAsMenu.h"
#include "KeloLens/Results/ResultPanelController.h"
#include "KeloLens/Results/ResultPanelView.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloLens/Results/WifiPopover.h"
#include "KeloPanel/FloatingPanelController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/Platform.h"
#include "KeloPlatform/null/NullServices.h"
#include "KeloTheme/ThemeFonts.h"
#include "Shots.h"
#include "WindowShots.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QThread>
#include <QToolButton>
#include <QWindow>

#include <cstdio>

namespace {

// Something behind the panel, so that translucency and shadows show: a page of a document.
class Backdrop final : public QWidget
{
public:
    Backdrop() : QWidget(nullptr, Qt::FramelessWindowHint)
    {
        setGeometry(QGuiApplication::primaryScreen()->geometry());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        QLinearGradient sky(0, 0, width(), height());
        sky.setColorAt(0, QColor(0x5b, 0x86, 0xc5));
        sky.setColorAt(1, QColor(0xc9, 0x7b, 0x9a));
        painter.fillRect(rect(), sky);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 235));
        painter.drawRoundedRect(QRect(60, 50, 600, 600), 6, 6);
        painter.setPen(QColor(40, 40, 40));
        QFont font = themeFont(TextStyle::body);
        font.setPixelSize(15);
        painter.setFont(font);
        const QStringList lines = {
            QStringLiteral("Quarterly review — Thursday 14:00"),
            QStringLiteral("Join: https://meet.example.com/q3-review"),
            QStringLiteral("Questions to ana.lopez@example.org or call +1 650 253 0000."),
            QStringLiteral("Guest Wi-Fi is on the card at reception."),
        };
        for (qsizetype i = 0; i < lines.size(); ++i) {
            painter.drawText(QPoint(90, 100 + int(i) * 28), lines[i]);
        }
        for (int row = 0; row < 14; ++row) {
            painter.fillRect(QRect(90, 250 + row * 26, 380 + (row * 37) % 140, 9),
                             QColor(60, 60, 60, 60));
        }
    }
};

const QString sampleText =
    QStringLiteral("Quarterly review — Thursday 14:00\n"
                   "Join: https://meet.example.com/q3-review\n"
                   "Questions to ana.lopez@example.org or call +1 650 253 0000.\n"
                   "Guest Wi-Fi is on the card at reception.");

const DetectedCode guestWifi{QStringLiteral("QR"),
                             QStringLiteral("WIFI:S:Kelo Guest;T:WPA;P:sunflower-42;;"),
                             CodeKind::wifi};

RecognitionResult textCapture()
{
    return {{Paragraph{sampleText.split(u'\n')}}, {guestWifi}, sampleText};
}

RecognitionResult codeCapture()
{
    const QList<DetectedCode> codes = {
        {QStringLiteral("QR"), QStringLiteral("https://kelolens.app/start"), CodeKind::url},
        guestWifi,
        {QStringLiteral("EAN-13"), QStringLiteral("4006381333931"), CodeKind::text},
    };
    return {{}, codes, {}};
}

// One results panel over real X11 services, or without the permission to send keys.
struct Scene
{
    Scene(KeloPlatform::Platform &platform, KeloPlatform::SyntheticKeys &keys)
        : layout(*platform.keymapSource), accessibility(keys),
          paste(*platform.windowSystem, keys, layout), toast(*platform.windowSystem),
          controller(model, toast, paste, accessibility, *platform.windowSystem, layout,
                     [] { return PanelPosition::nearSelection; })
    {
    }

    KeyboardLayout layout;
    Accessibility accessibility;
    PasteService paste;
    ResultViewModel model;
    ToastController toast;
    ResultPanelController controller;
};

// The panel's menu open on "Read as", under a notice about a script no installed language reads.
bool saveReadAsMenu(Scene &scene, const QDir &folder)
{
    scene.model.setNotice(
        QStringLiteral("This looks like Cyrillic text. Install Russian to read it."));
    scene.model.setReadAgain(
        Reading{{}, LineBreakMode::keepLines},
        {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("fr"), QStringLiteral("el")});
    settle();
    auto *more = scene.controller.view().findChild<QToolButton *>(QStringLiteral("moreButton"));
    auto *readAs = scene.controller.view().findChild<ReadAsMenu *>();
    if (more == nullptr || more->menu() == nullptr || readAs == nullptr) {
        return false;
    }
    QMenu *menu = more->menu();
    menu->popup(more->mapToGlobal(QPoint(0, more->height())));
    settle();
    menu->setActiveAction(readAs->menuAction());
    Q_EMIT readAs->aboutToShow();
    const QRect item = menu->actionGeometry(readAs->menuAction());
    readAs->popup(menu->mapToGlobal(QPoint(item.right(), item.top())));
    const bool isSaved = save({&scene.controller.panel().panel(), menu, readAs},
                              folder.filePath(QStringLiteral("panel-read-as.png")));
    readAs->hide();
    menu->hide();
    scene.model.setReadAgain(std::nullopt, {});
    scene.model.setNotice({});
    return isSaved;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Renders screenshots of the results panel."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("output"), QStringLiteral("Folder for the PNG files."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("tray-icon"),
                      QStringLiteral("Only save the tray icon, as it shows in the running tray."),
                      QStringLiteral("name")});
    parser.addOption({QStringLiteral("expect-compositing"),
                      QStringLiteral("Wait for a compositing manager; fail without one.")});
    parser.process(app);
    const QString output = parser.value(QStringLiteral("output"));
    if (output.isEmpty() || !QDir().mkpath(output) || QGuiApplication::platformName() != u"xcb") {
        std::fprintf(stderr, "KeloLens: needs --output DIR and an X display\n");
        return 2;
    }
    const QDir folder(output);
    if (parser.isSet(QStringLiteral("tray-icon"))) {
        return saveTrayIcon(folder, parser.value(QStringLiteral("tray-icon"))) ? 0 : 1;
    }
    const auto platform = KeloPlatform::createPlatform(QStringLiteral("x11"));
    if (parser.isSet(QStringLiteral("expect-compositing"))) {
        QDeadlineTimer deadline(std::chrono::seconds(5));
        while (!platform->windowSystem->isCompositing() && !deadline.hasExpired()) {
            QThread::msleep(50);
        }
        if (!platform->windowSystem->isCompositing()) {
            std::fprintf(stderr, "KeloLens: no compositing manager came up\n");
            return 1;
        }
    }
    KeloPlatform::NullSyntheticKeys noKeys;
    const QPalette lightPalette = QApplication::style()->standardPalette();
    QApplication::setPalette(lightPalette);

    Backdrop backdrop;
    backdrop.show();
    settle();
    const ExactRect selection{90, 80, 520, 100};
    bool isSaved = true;

    Scene scene(*platform, *platform->syntheticKeys);
    QWidget &panel = scene.controller.panel().panel();
    scene.controller.present(textCapture(), PanelMode::all, selection, 1);
    isSaved &= save({&panel}, folder.filePath(QStringLiteral("panel-light.png")));

    QApplication::setPalette(darkPalette());
    isSaved &= save({&panel}, folder.filePath(QStringLiteral("panel-dark.png")));
    QApplication::setPalette(lightPalette);

    isSaved &= saveReadAsMenu(scene, folder);

    scene.controller.view().setWifiChip(scene.model.chips().constLast());
    const auto *popover = scene.controller.view().findChild<WifiPopover *>();
    isSaved &=
        popover && save({&panel, popover}, folder.filePath(QStringLiteral("panel-wifi.png")));
    scene.controller.view().setWifiChip(std::nullopt);

    scene.controller.present(codeCapture(), PanelMode::codesOnly, selection, 2);
    isSaved &= save({&panel}, folder.filePath(QStringLiteral("panel-codes.png")));
    scene.controller.dismiss();

    {
        Scene withoutKeys(*platform, noKeys);
        withoutKeys.controller.present(textCapture(), PanelMode::all, selection, 1);
        isSaved &= save({&withoutKeys.controller.panel().panel()},
                        folder.filePath(QStringLiteral("panel-allow-paste.png")));
        withoutKeys.controller.dismiss();
    }

    scene.toast.show(QStringLiteral("Copied 42 characters"));
    isSaved &= save({scene.toast.window()}, folder.filePath(QStringLiteral("toast.png")));
    scene.toast.show(QStringLiteral("KeloLens can't see the screen yet."),
                     QStringLiteral("Open Settings"), [] {});
    isSaved &= save({scene.toast.window()}, folder.filePath(QStringLiteral("toast-action.png")));
    QApplication::setPalette(darkPalette());
    isSaved &= save({scene.toast.window()}, folder.filePath(QStringLiteral("toast-dark.png")));
    scene.toast.hide();

    for (const auto &[palette, suffix] : {std::pair{lightPalette, QStringLiteral("light")},
                                          {darkPalette(), QStringLiteral("dark")}}) {
        QApplication::setPalette(palette);
        isSaved &= saveSettingsWindow(*platform, folder, suffix);
        isSaved &= saveOnboardingSteps(*platform, folder, suffix);
    }
    // Large text, as a desktop's 1.25 text scaling gives it.
    const QFont normalFont = QApplication::font();
    QFont largeFont = normalFont;
    largeFont.setPointSizeF(normalFont.pointSizeF() * 1.25);
    QApplication::setFont(largeFont);
    QApplication::setPalette(lightPalette);
    isSaved &= saveSettingsWindow(*platform, folder, QStringLiteral("large-light"));
    QApplication::setFont(normalFont);
    return isSaved ? 0 : 1;
}
