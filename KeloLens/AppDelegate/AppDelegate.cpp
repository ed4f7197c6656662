// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/AppDelegate.h"

#include "KeloHotkey/HotKey.h"
#include "KeloLens/AppDelegate/ReadAgain.h"
#include "KeloLens/AppDelegate/SingleInstance.h"
#include "KeloLens/Capture/CaptureFlow.h"
#include "KeloLens/Capture/CapturerChoice.h"
#include "KeloLens/Capture/SystemPermissionChecker.h"
#include "KeloLens/Onboarding/OnboardingSteps.h"
#include "KeloLens/Recognition/RecognitionLanguages.h"
#include "KeloLens/Recognition/Recognizer.h"
#include "KeloLens/Results/ResultPanelController.h"
#include "KeloLens/Results/ResultViewModel.h"
#include "KeloLens/Results/ToastController.h"
#include "KeloLens/Selection/OverlaySelector.h"
#include "KeloLens/Settings/LanguagePackInstaller.h"
#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/SettingsRouter.h"
#include "KeloLens/SettingsWindow/SettingsWindowController.h"
#include "KeloMenuBar/StatusItemController.h"
#include "KeloMenuBar/StatusMenu.h"
#include "KeloOnboarding/OnboardingWindowController.h"
#include "KeloPaste/Accessibility.h"
#include "KeloPaste/PasteService.h"
#include "KeloPlatform/ExitHandler.h"
#include "KeloPlatform/Platform.h"
#include "KeloPlatform/ScreenReader.h"
#include "KeloPlatform/TerminationSignals.h"
#include "KeloTheme/Symbols.h"
#include "KeloUpdates/FeedUpdater.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLoggingCategory>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>

namespace {

constexpr std::chrono::seconds idleMemoryDelay{45};

// Debug lines (the launch finished, for tests and bug reports) only when asked for with
// QT_LOGGING_RULES="kelolens.app.debug=true".
Q_LOGGING_CATEGORY(lcApp, "kelolens.app", QtInfoMsg)

const QByteArray reopenRequest = QByteArrayLiteral("reopen");
const QByteArray captureRequest = QByteArrayLiteral("capture");
const QByteArray captureCodeRequest = QByteArrayLiteral("capture-code");

// Onboarding's steps, in the order it builds them.
constexpr int welcomeStep = 0;
constexpr int screenRecordingStep = 1;
constexpr int tryItStep = 2;

PanelMode panelMode(FlowPresentation::Mode mode)
{
    return mode == FlowPresentation::Mode::codesOnly ? PanelMode::codesOnly : PanelMode::all;
}

// An alert the delegate shows: a message, an explanation and the buttons, first the default.
struct AlertText
{
    QString message;
    QString informativeText;
    QStringList buttons;
    // Bring the application to the front before showing it.
    bool activates = false;
};

int showMessageBox(const AlertText &text)
{
    QMessageBox box;
    box.setWindowTitle(QStringLiteral("KeloLens"));
    box.setText(text.message);
    box.setInformativeText(text.informativeText);
    box.setIcon(QMessageBox::Warning);
    QList<QAbstractButton *> buttons;
    for (const QString &title : text.buttons) {
        buttons << box.addButton(title, buttons.isEmpty() ? QMessageBox::AcceptRole
                                                          : QMessageBox::RejectRole);
    }
    if (!buttons.isEmpty()) {
        box.setDefaultButton(qobject_cast<QPushButton *>(buttons.first()));
    }
    if (text.activates) {
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    }
    box.exec();
    const qsizetype index = buttons.indexOf(box.clickedButton());
    return index < 0 ? 0 : int(index);
}

} // namespace

AppDelegate::AppDelegate(QObject *parent) : QObject(parent) {}

AppDelegate::~AppDelegate()
{
    shutDown();
}

bool AppDelegate::launch(const QStringList &arguments)
{
    QCoreApplication::setApplicationName(QStringLiteral("KeloLens"));
    QCoreApplication::setOrganizationName(QStringLiteral("KeloLens"));
    QGuiApplication::setDesktopFileName(QStringLiteral("app.kelolens.KeloLens"));
    QApplication::setQuitOnLastWindowClosed(false);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Copy the text and codes in any part of the screen."));
    parser.addHelpOption();
    const QCommandLineOption capture(QStringLiteral("capture"),
                                     QStringLiteral("Select a region and copy its text."));
    const QCommandLineOption captureCode(QStringLiteral("capture-code"),
                                         QStringLiteral("Select a region and copy its code."));
    parser.addOption(capture);
    parser.addOption(captureCode);
    if (!parser.parse(arguments)) {
        qCWarning(lcApp).noquote() << "KeloLens: " + parser.errorText();
        m_exitCode = 2;
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        parser.showHelp(0);
    }
    const QByteArray request = parser.isSet(captureCode) ? captureCodeRequest
                               : parser.isSet(capture)   ? captureRequest
                                                         : reopenRequest;

    m_instance = std::make_unique<SingleInstance>(SingleInstance::defaultFolder());
    switch (m_instance->start(request)) {
    case SingleInstance::Role::secondary:
        return false;
    case SingleInstance::Role::failed:
        qCWarning(lcApp).noquote()
            << "KeloLens: another instance seems to run but does not answer: " +
                   m_instance->errorString();
        m_exitCode = 1;
        return false;
    case SingleInstance::Role::primary:
        break;
    }
    connect(m_instance.get(), &SingleInstance::requestReceived, this, &AppDelegate::handleRequest);

    finishLaunching();
    if (request != reopenRequest) {
        handleRequest(request);
    }
    return true;
}

void AppDelegate::finishLaunching()
{
    m_platform = KeloPlatform::loadPlatform();
    m_signals = std::make_unique<KeloPlatform::TerminationSignals>();
    connect(m_signals.get(), &KeloPlatform::TerminationSignals::received, qApp,
            &QCoreApplication::quit);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::shutDown);
    // When the X server goes away, Qt ends the process with exit() from inside the event loop:
    // no quit, no destructors. The region tool dies with us, but its file and the instance lock
    // would stay.
    m_exitHandler = std::make_unique<KeloPlatform::ExitHandler>([this] {
        if (m_capturer) {
            m_capturer->cancel();
        }
        m_instance.reset();
    });

    m_layout = std::make_unique<KeyboardLayout>(*m_platform->keymapSource);
    m_settings = Preferences::openUserSettings();
    m_prefs = std::make_unique<Preferences>(m_settings.get(), m_platform->loginItem.get());
    // The login entry names the program that wrote it. Written again by the program running now,
    // it follows KeloLens from a build folder to the installed package, or to a new place.
    if (m_prefs->launchAtLogin() && m_platform->loginItem != nullptr) {
        if (const std::optional<QString> error = m_platform->loginItem->setEnabled(true)) {
            qCWarning(lcApp).noquote()
                << QStringLiteral("KeloLens: couldn't update the login item: %1").arg(*error);
        }
    }
    m_permission = std::make_unique<SystemPermissionChecker>(m_platform->screenshots.get());
    m_updater = std::make_unique<FeedUpdater>(FeedUpdater::settingsFrom(AppInfo::fromBuild()));
    m_toast = std::make_unique<ToastController>(*m_platform->windowSystem);
    m_paste = std::make_unique<PasteService>(*m_platform->windowSystem, *m_platform->syntheticKeys,
                                             *m_layout, m_platform->clipboard.get());
    m_accessibility = std::make_unique<Accessibility>(*m_platform->syntheticKeys);
    m_hotKeys = std::make_unique<HotKeyCenter>(*m_platform->keyGrabber);

    m_model = std::make_unique<ResultViewModel>(PanelMode::all);
    m_panel = std::make_unique<ResultPanelController>(
        *m_model, *m_toast, *m_paste, *m_accessibility, *m_platform->windowSystem, *m_layout,
        [prefs = m_prefs.get()] { return prefs->panelPosition(); });

    m_selector = std::make_unique<OverlaySelector>();
    m_capturer = createScreenCapturer(
        *m_platform->screenshots, *m_platform->screenReader, *m_selector,
        [prefs = m_prefs.get()] { return prefs->selectWith() == SelectionMethod::keloLens; });
    // Files an earlier run could not delete (it was killed mid-capture) go now.
    m_capturer->removeLeftovers();
    m_recognizer = std::make_unique<Recognizer>();
    m_languagePacks = std::make_unique<LanguagePackInstaller>(
        m_platform->packageInstaller.get(), RecognitionLanguages::dataDirectory());
    // A warm text engine makes the next capture quick but holds some 30 MB; once captures have
    // paused it goes, and the next one loads it again (about half a second).
    m_idleMemoryRelease.setSingleShot(true);
    m_idleMemoryRelease.setInterval(idleMemoryDelay);
    connect(&m_idleMemoryRelease, &QTimer::timeout, this,
            [this] { m_recognizer->releaseIdleMemory(); });

    const QPointer<AppDelegate> self(this);
    CaptureFlow::Outputs outputs;
    outputs.clipboard = [self, paste = m_paste.get()](const QString &text) {
        const bool isCopied = paste->writePlainText(text).has_value();
        if (self) {
            self->m_idleMemoryRelease.start();
        }
        return isCopied;
    };
    outputs.present = [self](const FlowPresentation &presentation) {
        if (self) {
            self->m_panel->present(presentation.result, panelMode(presentation.mode),
                                   presentation.region, presentation.captureNumber);
            ReadAgain::presented(presentation, *self->m_flow, *self->m_model);
        }
    };
    outputs.toast = [self](const QString &message, std::optional<ToastLink> link) {
        if (!self) {
            return;
        }
        if (link == ToastLink::recognitionSettings) {
            self->m_toast->show(message, QStringLiteral("Open Settings"), [self] {
                if (self) {
                    self->openSettings(SettingsPage::recognition);
                }
            });
            return;
        }
        // The other link is to screen access: where a stored refusal can be forgotten, the toast
        // offers that; elsewhere there is nothing a button could do.
        if (!link || !self->m_permission->canRequestScreenRecording()) {
            self->m_toast->show(message);
            return;
        }
        self->m_toast->show(message, QStringLiteral("Ask Again"), [self] {
            if (self) {
                self->m_permission->requestScreenRecording();
            }
        });
    };
    outputs.permissionDenied = [self] {
        if (self) {
            self->showOnboarding(screenRecordingStep);
        }
    };
    outputs.playSound = [sounds = m_platform->soundPlayer.get()] {
        sounds->play(QStringLiteral("screen-capture"));
    };
    m_flow = std::make_unique<CaptureFlow>(
        *m_capturer, *m_permission, *m_recognizer,
        [prefs = m_prefs.get()] {
            return CaptureSettings{
                prefs->recognitionLanguages(),
                {prefs->lineBreaks(), prefs->stripHyphenation(), prefs->detectBarcodes()},
                prefs->playSound(),
                prefs->showPanel()};
        },
        std::move(outputs));
    ReadAgain::connect(*m_flow, *m_model, *m_panel, [self] {
        if (self) {
            self->openSettings(SettingsPage::recognition);
        }
    });

    // An icon made while no tray is there stays invisible, so it waits for one; without any,
    // "kelolens --capture" and the settings window remain.
    m_platform->trayHost->onAvailabilityChanged = [self](bool isAvailable) {
        if (self && isAvailable) {
            self->createStatusItem();
        }
    };
    if (m_platform->trayHost->isAvailable()) {
        createStatusItem();
    }

    registerHotKey();
    connect(m_prefs.get(), &Preferences::hotKeyChanged, this, &AppDelegate::registerHotKey);

    if (!m_prefs->hasCompletedOnboarding()) {
        // Access the desktop still has to be asked for (it asks at each capture until then) is
        // not granted yet: the screen access step offers to ask.
        const bool isGranted = m_permission->isScreenRecordingGranted() &&
                               !m_platform->screenReader->canAskForAccess();
        showOnboarding(isGranted ? tryItStep : welcomeStep);
    }
    qCDebug(lcApp).noquote() << QStringLiteral("KeloLens: launched, shortcut %1")
                                    .arg(m_registeredCombo
                                             ? m_registeredCombo->displayString(*m_layout)
                                             : QStringLiteral("none"));
}

void AppDelegate::createStatusItem()
{
    if (m_statusItem) {
        return;
    }
    const QPointer<AppDelegate> self(this);
    m_statusItem = std::make_unique<StatusItemController>(
        [](const QColor &color) { return trayIcon(color); }, QStringLiteral("KeloLens"),
        [self](QMenu &menu) {
            if (self) {
                self->buildStatusMenu(menu);
            }
        });
}

void AppDelegate::handleRequest(const QByteArray &request)
{
    if (request == captureRequest) {
        startCapture(false);
    } else if (request == captureCodeRequest) {
        startCapture(true);
    } else {
        reopen();
    }
}

void AppDelegate::reopen()
{
    openSettings();
}

void AppDelegate::startCapture(bool codesOnly)
{
    m_panel->dismiss();
    m_idleMemoryRelease.start();
    // Nobody awaits the capture: it runs on through the event loop and reports through the
    // flow's outputs.
    [[maybe_unused]] QCoro::Task<> capture = m_flow->run(codesOnly);
}

void AppDelegate::showLastResult()
{
    if (const auto &last = m_flow->lastPresentation()) {
        m_panel->present(last->result, panelMode(last->mode), last->region, last->captureNumber);
    }
}

void AppDelegate::registerHotKey()
{
    if (!m_hotKeys->hasGlobalShortcuts()) {
        // Nothing is "in use" where the desktop binds no shortcuts for applications: the user
        // binds the command instead, as onboarding and the settings say.
        if (!m_hasExplainedShortcuts) {
            m_hasExplainedShortcuts = true;
            qCInfo(lcApp).noquote() << QStringLiteral(
                "KeloLens: this desktop offers no global shortcuts to applications; bind a key to "
                "\"kelolens --capture\" in its keyboard settings");
        }
        return;
    }
    const HotKeyCombo wanted = m_prefs->hotKey();
    if (m_registeredCombo == wanted) {
        // A change back to the shortcut in force drops one the desktop is still asked about.
        m_pendingHotKey.reset();
        return;
    }
    const QPointer<AppDelegate> self(this);
    std::unique_ptr<HotKey> hotKey = m_hotKeys->create(wanted, [self] {
        if (self) {
            self->startCapture(false);
        }
    });
    if (hotKey && hotKey->isPending()) {
        // The desktop asks the user first; the old shortcut works until it has answered.
        HotKey *pending = hotKey.get();
        pending->onSettled = [self, pending, wanted](bool isRegistered) {
            if (!self || self->m_pendingHotKey.get() != pending) {
                return;
            }
            std::unique_ptr<HotKey> settled = std::move(self->m_pendingHotKey);
            if (isRegistered) {
                self->m_hotKey = std::move(settled);
                self->m_registeredCombo = wanted;
            } else {
                self->reportTakenHotKey(wanted);
            }
        };
        m_pendingHotKey = std::move(hotKey);
        return;
    }
    m_pendingHotKey.reset();
    if (hotKey) {
        m_hotKey = std::move(hotKey);
        m_registeredCombo = wanted;
        return;
    }
    reportTakenHotKey(wanted);
}

void AppDelegate::reportTakenHotKey(const HotKeyCombo &wanted)
{
    const QString wantedText = wanted.displayString(*m_layout);
    qCWarning(lcApp).noquote() << "KeloLens: could not register hotkey " + wantedText;
    if (!m_registeredCombo) {
        const int answer =
            showMessageBox({wantedText + QStringLiteral(" is already in use by another app"),
                            QStringLiteral("Choose a different shortcut in Settings, or use "
                                           "Capture Text from the menu bar."),
                            {QStringLiteral("Open Settings"), QStringLiteral("Later")},
                            true});
        if (answer == 0) {
            openSettings(SettingsPage::general);
        }
        return;
    }
    const HotKeyCombo kept = *m_registeredCombo;
    // Storing the kept shortcut announces it again; that registration stops at once, since it
    // is the one registered.
    m_prefs->setHotKey(kept);
    showMessageBox({wantedText + QStringLiteral(" is already in use"),
                    QStringLiteral("Another app uses this shortcut, so KeloLens kept ") +
                        kept.displayString(*m_layout) + u'.',
                    {},
                    false});
}

void AppDelegate::openSettings(std::optional<SettingsPage> page)
{
    m_panel->dismiss();
    if (!m_settingsWindow) {
        m_router = std::make_unique<SettingsRouter>(SettingsPage::general);
        SettingsServices services(*m_prefs, *m_layout);
        services.permission = m_permission.get();
        services.accessibility = m_accessibility.get();
        services.updater = m_updater.get();
        services.loadSupportedLanguages = [] { return RecognitionLanguages::supportedLanguages(); };
        services.languagePacks = m_languagePacks.get();
        services.copyText = [paste = m_paste.get()](const QString &text) {
            return paste->writePlainText(text).has_value();
        };
        services.isTrayMissing = !m_statusItem || !StatusItemController::isTrayAvailable();
        services.hasGlobalShortcuts = m_hotKeys->hasGlobalShortcuts();
        services.canReadScreen = m_platform->screenReader->canRead();
        services.screenAccessRequest = screenAccessRequest();
        services.isX11 = m_platform->backend == u"x11";
        m_settingsWindow = std::make_unique<SettingsWindowController>(*m_router, services);
    }
    m_settingsWindow->show(page);
}

ScreenAccessRequest AppDelegate::screenAccessRequest()
{
    KeloPlatform::ScreenReader *reader = m_platform->screenReader.get();
    return {[reader] { return reader->canAskForAccess(); },
            [reader, self = QPointer<AppDelegate>(this)] {
                QCoro::connect(reader->askForAccess(), self.data(), [](bool isAllowed) {
                    qCInfo(lcApp).noquote()
                        << (isAllowed ? QStringLiteral("KeloLens: the desktop lets KeloLens read "
                                                       "the screen now")
                                      : QStringLiteral("KeloLens: the desktop did not let "
                                                       "KeloLens read the screen"));
                });
            }};
}

void AppDelegate::showOnboarding(int startAt)
{
    m_panel->dismiss();
    const QPointer<AppDelegate> self(this);
    if (!m_onboardingWindow) {
        m_onboardingWindow = std::make_unique<OnboardingWindowController>(
            QStringLiteral("Welcome to KeloLens"), QSize(500, 400), [self] {
                if (!self) {
                    return;
                }
                self->m_prefs->setHasCompletedOnboarding(true);
                // The window's own close handling is still on the stack.
                if (OnboardingWindowController *finished = self->m_onboardingWindow.release()) {
                    finished->deleteLater();
                }
            });
    }
    const QList<OnboardingStep> steps = makeOnboardingSteps(
        m_hotKeys->hasGlobalShortcuts() ? m_prefs->hotKey().displayString(*m_layout) : QString(),
        *m_permission,
        [self] {
            if (self) {
                self->startCapture(false);
            }
        },
        AppInfo::fromBuild().website, m_accessibility->isPossible(),
        m_capturer->missingToolCommand(), screenAccessRequest());
    m_onboardingWindow->show(steps, startAt, QStringLiteral("Start Using KeloLens"));
}

void AppDelegate::buildStatusMenu(QMenu &menu)
{
    StatusMenuState state;
    if (m_registeredCombo) {
        state.registeredShortcut = m_registeredCombo->displayString(*m_layout);
    }
    state.hasLastResult = m_flow->lastPresentation().has_value();
    state.isUpdaterAvailable = m_updater->isAvailable();

    const QPointer<AppDelegate> self(this);
    StatusMenuActions actions;
    actions.captureText = [self] {
        if (self) {
            self->startCapture(false);
        }
    };
    actions.captureCode = [self] {
        if (self) {
            self->startCapture(true);
        }
    };
    actions.showLastResult = [self] {
        if (self) {
            self->showLastResult();
        }
    };
    actions.openSettings = [self] {
        if (self) {
            self->openSettings();
        }
    };
    actions.checkForUpdates = [self] {
        if (self) {
            self->m_updater->checkForUpdates();
        }
    };
    ::buildStatusMenu(menu, state, actions);
}

void AppDelegate::shutDown()
{
    // A capture under way is cancelled so that its region tool and file go with us.
    if (m_capturer) {
        m_capturer->cancel();
    }
    // A recognition under way would hold the exit until it ends, up to its deadline.
    if (m_recognizer != nullptr) {
        m_recognizer->cancelAll();
    }
}
