// SPDX-License-Identifier: GPL-3.0-or-later
// kelo-test-scene [--text LINE]... [--qr PAYLOAD] [--field] [--at X,Y], for the X11 and end-to-end
// tests
//     Shows a window whose top-left corner is at the given screen position (default 100,100),
//     outside the window manager's placement, holding the given lines of text in a large plain
//     font on white, then a QR code of the payload, then a text field with the keyboard focus.
//     Prints "ready <window id> <x> <y> <width> <height>" once shown, and "text <field text>"
//     whenever the field changes. Quits when standard input closes.
#include "samples/SampleImages.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLabel>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

namespace {

void say(const QByteArray &line)
{
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOption(
        {QStringLiteral("text"), QStringLiteral("A line of text."), QStringLiteral("line")});
    parser.addOption(
        {QStringLiteral("qr"), QStringLiteral("A QR code payload."), QStringLiteral("payload")});
    parser.addOption({QStringLiteral("field"), QStringLiteral("A text field to paste into.")});
    parser.addOption({QStringLiteral("at"), QStringLiteral("Top-left corner."),
                      QStringLiteral("x,y"), QStringLiteral("100,100")});
    parser.process(app);

    QWidget window;
    window.setWindowTitle(QStringLiteral("KeloLens e2e scene"));
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, Qt::white);
    palette.setColor(QPalette::WindowText, Qt::black);
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(24, 24, 24, 24);
    for (const QString &line : parser.values(QStringLiteral("text"))) {
        auto *label = new QLabel(line, &window);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(28);
        label->setFont(font);
        layout->addWidget(label);
    }
    if (parser.isSet(QStringLiteral("qr"))) {
        auto *code = new QLabel(&window);
        code->setPixmap(QPixmap::fromImage(SampleImages::qrCode(
            parser.value(QStringLiteral("qr")).toStdString(), SampleImages::light, 6)));
        layout->addWidget(code);
    }
    QLineEdit *field = nullptr;
    if (parser.isSet(QStringLiteral("field"))) {
        field = new QLineEdit(&window);
        layout->addWidget(field);
        QObject::connect(field, &QLineEdit::textChanged,
                         [](const QString &text) { say("text " + text.toUtf8()); });
    }
    const QStringList at = parser.value(QStringLiteral("at")).split(u',');
    window.move(at.value(0).toInt(), at.value(1).toInt());

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) {
            app.quit();
        }
    });

    window.show();
    if (field != nullptr) {
        field->setFocus();
    }
    QTimer::singleShot(200, [&] {
        const QRect frame = window.geometry();
        say(QStringLiteral("ready %1 %2 %3 %4 %5")
                .arg(window.winId())
                .arg(frame.x())
                .arg(frame.y())
                .arg(frame.width())
                .arg(frame.height())
                .toUtf8());
    });
    return app.exec();
}
