// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/SettingsWindow/GeneralPage.h"

#include "KeloHotkey/widgets/HotKeyRecorder.h"
#include "KeloLens/Capture/PermissionChecker.h"
#include "KeloLens/Settings/Preferences.h"
#include "KeloLens/SettingsWindow/PermissionStatus.h"
#include "KeloLens/SettingsWindow/SettingsForm.h"
#include "KeloLens/SettingsWindow/ToggleSwitch.h"
#include "KeloPaste/Accessibility.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// The screen access row's button where the desktop can be asked to let KeloLens read the screen.
const QString allowTitle = QStringLiteral("Allow…");

} // namespace

GeneralPage::GeneralPage(const SettingsServices &services, QWidget *parent)
    : QWidget(parent), m_services(services), m_timer(new QTimer(this))
{
    Preferences &prefs = m_services.preferences;
    auto *form = new SettingsForm(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(form);

    if (m_services.isTrayMissing) {
        addCaptureHint(*form);
    }

    SettingsSection *basics = form->addSection();
    if (m_services.hasGlobalShortcuts) {
        m_recorder = new HotKeyRecorder(m_services.layout, HotKeyCombo::defaultCombo());
        m_recorder->setCombo(prefs.hotKey());
        connect(m_recorder, &HotKeyRecorder::comboEdited, &prefs, &Preferences::setHotKey);
        connect(&prefs, &Preferences::hotKeyChanged, m_recorder, &HotKeyRecorder::setCombo);
        basics->addRow(QStringLiteral("Capture shortcut"),
                       QStringLiteral("Press it anywhere, then drag over the text or code."),
                       m_recorder);
    } else {
        m_shortcutCommand = new QLabel(QStringLiteral("kelolens --capture"));
        m_shortcutCommand->setTextInteractionFlags(Qt::TextSelectableByMouse);
        basics->addRow(QStringLiteral("Capture shortcut"),
                       QStringLiteral("This desktop doesn't let apps set a shortcut. Add one in "
                                      "its keyboard settings that runs this command "
                                      "(“kelolens --capture-code” reads codes only)."),
                       m_shortcutCommand);
    }

    addSelectWith(*basics);

    m_launchAtLogin =
        ToggleSwitch::bound(prefs, prefs.launchAtLogin(), &Preferences::setLaunchAtLogin,
                            &Preferences::launchAtLoginChanged);
    basics->addRow(QStringLiteral("Launch at login"),
                   QStringLiteral("Start KeloLens quietly when you log in."), m_launchAtLogin);

    m_playSound = ToggleSwitch::bound(prefs, prefs.playSound(), &Preferences::setPlaySound,
                                      &Preferences::playSoundChanged);
    basics->addRow(QStringLiteral("Play a sound after each capture"), {}, m_playSound);

    SettingsSection *after = form->addSection(QStringLiteral("After capture"));
    m_showPanel = ToggleSwitch::bound(prefs, prefs.showPanel(), &Preferences::setShowPanel,
                                      &Preferences::showPanelChanged);
    after->addRow(QStringLiteral("Show the results panel"),
                  QStringLiteral("Off: the text is copied and a small confirmation appears."),
                  m_showPanel);
    m_panelPosition = new QComboBox;
    m_panelPosition->addItem(QStringLiteral("Near the selection"),
                             QVariant::fromValue(int(PanelPosition::nearSelection)));
    m_panelPosition->addItem(QStringLiteral("Centre of the screen"),
                             QVariant::fromValue(int(PanelPosition::fixed)));
    const auto showPosition = [this](PanelPosition position) {
        m_panelPosition->setCurrentIndex(m_panelPosition->findData(int(position)));
    };
    showPosition(prefs.panelPosition());
    m_panelPosition->setEnabled(prefs.showPanel());
    connect(m_panelPosition, &QComboBox::activated, this, [this](int index) {
        m_services.preferences.setPanelPosition(
            PanelPosition(m_panelPosition->itemData(index).toInt()));
    });
    connect(&prefs, &Preferences::panelPositionChanged, m_panelPosition, showPosition);
    connect(&prefs, &Preferences::showPanelChanged, m_panelPosition, &QComboBox::setEnabled);
    after->addRow(QStringLiteral("Panel position"), {}, m_panelPosition);

    SettingsSection *permissions = form->addSection(QStringLiteral("Permissions"));
    m_screenRecording = new PermissionStatus(QStringLiteral("Ask Again"), [this] {
        if (m_screenRecording->button()->text() == allowTitle &&
            m_services.screenAccessRequest.ask) {
            m_services.screenAccessRequest.ask();
        } else if (m_services.permission != nullptr) {
            m_services.permission->requestScreenRecording();
            refreshPermissions();
        }
    });
    permissions->addRow(
        QStringLiteral("Screen access"),
        QStringLiteral("KeloLens reads only the part you select. Nothing is stored or sent."),
        m_screenRecording);
    m_accessibility = new PermissionStatus(QStringLiteral("Allow…"), [this] {
        if (m_services.accessibility != nullptr) {
            m_services.accessibility->request();
        }
    });
    // Under Wayland the app in front cannot be told apart, so every paste is Ctrl+V, which a
    // terminal takes as a control character.
    permissions->addRow(
        QStringLiteral("Paste into other apps"),
        (m_services.isX11
             ? QStringLiteral("Optional. Lets Return paste into the app you were using.")
             : QStringLiteral(
                   "Optional. Lets Return paste into the app you were using with Ctrl+V; "
                   "terminals need Ctrl+Shift+V, so paste there yourself.")) +
            (m_services.accessibility == nullptr || m_services.accessibility->isKeptAcrossStarts()
                 ? QString()
                 : QStringLiteral(" Your desktop asks again each time KeloLens starts.")),
        m_accessibility);

    refreshPermissions();
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &GeneralPage::refreshPermissions);
}

GeneralPage::~GeneralPage() = default;

void GeneralPage::refreshPermissions()
{
    const PermissionChecker *checker = m_services.permission;
    switch (checker != nullptr ? checker->screenAccess() : ScreenAccess::notNeeded) {
    case ScreenAccess::notNeeded:
        m_screenRecording->setState(m_services.isX11 ? QStringLiteral("Not needed on X11")
                                                     : QStringLiteral("Not needed on this desktop"),
                                    true, false);
        break;
    case ScreenAccess::askedAtCapture:
        // GNOME asks at each capture; allowed once from here, KeloLens selects on a still
        // picture of its own.
        if (m_services.screenAccessRequest.isPossible()) {
            m_screenRecording->button()->setText(allowTitle);
            m_screenRecording->setState(QStringLiteral("Asked at each capture"), false, true);
            break;
        }
        m_screenRecording->setState(QStringLiteral("Your desktop asks at the first capture"), false,
                                    false);
        break;
    case ScreenAccess::allowed:
        m_screenRecording->setState(QStringLiteral("Allowed"), true, false);
        if (m_isSelectWithWaitingForAccess) {
            m_isSelectWithWaitingForAccess = false;
            m_selectWith->setEnabled(true);
            m_selectWith->setCurrentIndex(
                m_selectWith->findData(int(m_services.preferences.selectWith())));
        }
        break;
    case ScreenAccess::refused:
        m_screenRecording->button()->setText(QStringLiteral("Ask Again"));
        if (checker->canRequestScreenRecording()) {
            m_screenRecording->setState(QStringLiteral("Refused: your desktop keeps the “no”"),
                                        false, true);
        } else {
            m_screenRecording->setState(
                QStringLiteral("Refused: allow it in your desktop's privacy settings"), false,
                false);
        }
        break;
    }

    const Accessibility *accessibility = m_services.accessibility;
    if (accessibility != nullptr && accessibility->isTrusted()) {
        m_accessibility->setState(m_services.isX11
                                      ? QStringLiteral("Sends Ctrl+V through the X server")
                                      : QStringLiteral("Allowed by the desktop's remote control"),
                                  true, false);
    } else if (accessibility != nullptr && accessibility->isPossible()) {
        m_accessibility->setState(QStringLiteral("Needs the desktop's remote-control permission"),
                                  false, true);
    } else {
        m_accessibility->setState(QStringLiteral("Not available on this desktop"), false, false);
    }
}

void GeneralPage::showEvent(QShowEvent *event)
{
    refreshPermissions();
    m_timer->start();
    QWidget::showEvent(event);
}

void GeneralPage::hideEvent(QHideEvent *event)
{
    m_timer->stop();
    QWidget::hideEvent(event);
}

void GeneralPage::addSelectWith(SettingsSection &section)
{
    Preferences &prefs = m_services.preferences;
    m_selectWith = new QComboBox;
    m_selectWith->addItem(QStringLiteral("KeloLens"),
                          QVariant::fromValue(int(SelectionMethod::keloLens)));
    m_selectWith->addItem(QStringLiteral("the desktop's screenshot tool"),
                          QVariant::fromValue(int(SelectionMethod::desktopTool)));
    const auto showMethod = [this](SelectionMethod method) {
        if (m_selectWith->isEnabled()) {
            m_selectWith->setCurrentIndex(m_selectWith->findData(int(method)));
        }
    };
    connect(m_selectWith, &QComboBox::activated, this, [this](int index) {
        m_services.preferences.setSelectWith(
            SelectionMethod(m_selectWith->itemData(index).toInt()));
    });
    connect(&prefs, &Preferences::selectWithChanged, m_selectWith, showMethod);
    if (m_services.canReadScreen) {
        showMethod(prefs.selectWith());
        section.addRow(QStringLiteral("Select with"), {}, m_selectWith);
        return;
    }
    // The stored choice stays for a session that allows it.
    m_selectWith->setCurrentIndex(1);
    m_selectWith->setEnabled(false);
    m_isSelectWithWaitingForAccess = m_services.screenAccessRequest.isPossible();
    section.addRow(QStringLiteral("Select with"),
                   m_isSelectWithWaitingForAccess
                       ? QStringLiteral("Until you allow screen access below, the desktop's "
                                        "own screenshot tool selects.")
                       : QStringLiteral("This desktop doesn't let KeloLens read the screen, so "
                                        "its own screenshot tool selects."),
                   m_selectWith);
}

void GeneralPage::addCaptureHint(SettingsForm &form)
{
    SettingsSection *section = form.addSection(QStringLiteral("How to capture"));
    m_captureHint = new QLabel;
    m_captureHint->setWordWrap(true);
    m_captureHint->setTextFormat(Qt::PlainText);
    section->addRow(m_captureHint);
    connect(&m_services.preferences, &Preferences::hotKeyChanged, this,
            &GeneralPage::updateCaptureHint);
    updateCaptureHint();
}

void GeneralPage::updateCaptureHint()
{
    if (!m_services.hasGlobalShortcuts) {
        m_captureHint->setText(QStringLiteral(
            "This desktop shows no tray icon, so KeloLens has no menu. Run “kelolens --capture” "
            "(best from a desktop shortcut) to capture text, and start KeloLens again to open "
            "these settings."));
        return;
    }
    const QString shortcut =
        m_services.preferences.hotKey().displayString(m_services.layout, ShortcutStyle::names);
    m_captureHint->setText(
        QStringLiteral("This desktop shows no tray icon, so KeloLens has no menu. Press %1 "
                       "anywhere to capture text, and start KeloLens again to open these "
                       "settings.")
            .arg(shortcut));
}
