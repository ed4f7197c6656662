// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppUnderTest.h"
#include "Desktop.h"
#include "support/HelperProcess.h"
#include "support/TestSupport.h"
#include "support/X11Harness.h"
#include "support/desktops/DesktopSession.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <gtest/gtest.h>

// What the tests on real desktops share: the desktop started for the test (a failure, not a
// skip, when it cannot start), a returning user's kelolens on it, and what a user sees there.
namespace KeloDesktops {

using namespace std::chrono_literals;

class DesktopTest : public ::testing::Test
{
protected:
    // Starts the desktop; the test fails with the reason when it cannot.
    void startDesktop(const QString &name, const QStringList &desktopEntries = {}, int monitors = 1)
    {
        m_desktop = KeloTest::DesktopSession::start(name, desktopEntries, monitors);
        ASSERT_TRUE(m_desktop != nullptr) << "no desktop named " << name.toStdString();
        ASSERT_TRUE(m_desktop->isReady()) << m_desktop->problem().toStdString();
        std::fprintf(stderr, "%s started in %.1f s\n", qPrintable(name),
                     double(m_desktop->startTime().count()) / 1000.0);
        RecordProperty("desktop_start_ms", int(m_desktop->startTime().count()));
        // The runner sums the start times up at the end.
        QFile times(qEnvironmentVariable("KELO_DESKTOP_START_TIMES"));
        if (!times.fileName().isEmpty() && times.open(QIODevice::Append)) {
            times.write(QStringLiteral("%1 %2\n")
                            .arg(name)
                            .arg(double(m_desktop->startTime().count()) / 1000.0)
                            .toUtf8());
        }
    }

    // A returning user's app (onboarding done), started on the desktop as from its launcher;
    // true once it has said which platform backend it chose.
    bool startApp(const QStringList &settings = {})
    {
        m_app.presetSetting(QStringLiteral("hasCompletedOnboarding=true"));
        for (const QString &line : settings) {
            m_app.presetSetting(line);
        }
        m_app.runOn(m_desktop->environment());
        return m_app.start() && m_app.waitForLog(QStringLiteral("KeloLens: platform backend"), 30s);
    }

    // A window on the desktop showing the lines of text (and a text field), as a native Wayland
    // client; its "ready" line has come.
    std::unique_ptr<KeloTest::HelperProcess>
    showText(const QStringList &lines, bool withField,
             const QString &qtPlatform = QStringLiteral("wayland"))
    {
        QStringList arguments;
        for (const QString &line : lines) {
            arguments << QStringLiteral("--text") << line;
        }
        if (withField) {
            arguments << QStringLiteral("--field");
        }
        QProcessEnvironment environment = m_desktop->environment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), qtPlatform);
        auto scene = std::make_unique<KeloTest::HelperProcess>(
            KeloTest::helperProgram(QStringLiteral("kelo-test-scene")), arguments, environment);
        if (!scene->waitForLine(QStringLiteral("ready"), 15s)) {
            return nullptr;
        }
        return scene;
    }

    // Waits until the clipboard, as another Wayland client reads it, holds text containing this.
    std::optional<QString> waitForClipboard(const QString &fragment,
                                            std::chrono::milliseconds timeout = 60s)
    {
        std::optional<QString> text;
        KeloTest::waitUntil(
            [&] {
                text = m_desktop->clipboardText(2s);
                return text && text->contains(fragment);
            },
            timeout);
        return text;
    }

    // Whether a screenshot of the desktop shows a line containing the text (letters and
    // digits compared, in any case: small interface text is read with small mistakes in between).
    bool screenShows(const QString &text, std::chrono::milliseconds timeout = 10s)
    {
        return whereScreenShows(text, timeout).has_value();
    }

    // Where a screenshot shows the text (compared as screenShows does): the part of its line's
    // box that holds it, by its share of the line's letters. Two buttons side by side are read
    // as one line, whose middle may be the gap between them.
    std::optional<QRect> whereScreenShows(const QString &text,
                                          std::chrono::milliseconds timeout = 10s)
    {
        const QString wanted = comparable(text);
        std::optional<QRect> found;
        KeloTest::waitUntil(
            [&] {
                const QImage screen = m_desktop->screenshot();
                screen.save(m_desktop->folder() + QStringLiteral("/last-screen.png"));
                m_lastScreenLines.clear();
                for (const auto &[line, box] : KeloE2E::linesIn(screen)) {
                    m_lastScreenLines.append(line);
                    const QString letters = comparable(line);
                    const qsizetype at = letters.indexOf(wanted);
                    if (at >= 0) {
                        const double share = double(box.width()) / double(letters.size());
                        found = QRect(box.left() + int(double(at) * share), box.top(),
                                      int(double(wanted.size()) * share), box.height());
                        return true;
                    }
                }
                return false;
            },
            timeout);
        return found;
    }

    static QString comparable(const QString &text)
    {
        QString letters;
        for (const QChar character : text) {
            if (character.isLetterOrNumber()) {
                letters += character.toLower();
            }
        }
        return letters;
    }

    // Chooses the item of the app's tray menu as the desktop's tray would when the user clicks
    // it: the tray's watcher names the app's item, whose menu (com.canonical.dbusmenu) is asked
    // to show and then told the item was clicked. False when no such item is registered.
    bool chooseTrayItem(const QString &label);

    // Whether the results panel (through XWayland) is the window with the keyboard focus.
    bool panelHasKeyboard()
    {
        const auto active =
            m_desktop->run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")});
        const auto panel =
            m_desktop->run(QStringLiteral("xdotool"),
                           {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                            QStringLiteral("--name"), QStringLiteral("^KeloLens results$")});
        return active && panel && !active->trimmed().isEmpty() && *active == *panel;
    }

    [[nodiscard]] bool logHas(const QString &fragment) const
    {
        const QStringList lines = m_app.log();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString &line) { return line.contains(fragment); });
    }

    void TearDown() override
    {
        m_app.stop();
        if (HasFailure()) {
            std::fprintf(stderr, "kelolens said:\n%s\n", qPrintable(m_app.log().join(u'\n')));
            std::fprintf(stderr, "the last screenshot read:\n%s\n",
                         qPrintable(m_lastScreenLines.join(u'\n')));
            if (m_desktop) {
                m_desktop->keepFolder();
                std::fprintf(stderr, "the desktop's logs are kept in %s\n",
                             qPrintable(m_desktop->folder()));
            }
        }
        EXPECT_TRUE(QDir(m_app.capturesFolder()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot))
            << "a capture was left on disk";
    }

    // Declared first, so that it goes last: the app ends before its desktop.
    std::unique_ptr<KeloTest::DesktopSession> m_desktop;
    KeloE2E::AppUnderTest m_app;
    QStringList m_lastScreenLines;
};

} // namespace KeloDesktops
