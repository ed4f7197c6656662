// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-paste-target, for the X11 tests
//     Shows a window with one text field that has the keyboard focus. Prints "ready <window id>"
//     once the window is shown, then "text <field text>" (UTF-8) whenever the text changes. Quits
//     when standard input closes.
#include <QApplication>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("KeloLens paste target"));
    auto *field = new QLineEdit(&window);
    auto *layout = new QVBoxLayout(&window);
    layout->addWidget(field);
    window.resize(400, 80);

    QObject::connect(field, &QLineEdit::textChanged, [](const QString &text) {
        std::printf("text %s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            app.quit();
        }
    });

    window.show();
    field->setFocus();
    QTimer::singleShot(0, [&] {
        std::printf("ready %llu\n", static_cast<unsigned long long>(window.winId()));
        std::fflush(stdout);
    });
    return app.exec();
}
