// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/AppDelegate.h"
#include "KeloPlatform/Platform.h"

#include <QApplication>

#include <vector>

int main(int argc, char **argv)
{
    // Every diagnostic line starts "KeloLens: " by itself; Qt would put the category first.
    qSetMessagePattern(QStringLiteral("%{message}"));
    // The session picks Qt's platform, as an argument rather than in the environment: programs
    // started from here (the region tool, the browser) must get the environment the user's
    // session gave, or a native Wayland program would start on X11, or not at all.
    std::vector<char *> arguments(argv, argv + argc);
    const QByteArray qtPlatform =
        KeloPlatform::preferredQtPlatform(QProcessEnvironment::systemEnvironment()).toLatin1();
    QByteArray platformOption("-platform");
    if (!qtPlatform.isEmpty()) {
        arguments.insert(arguments.begin() + 1,
                         {platformOption.data(), const_cast<char *>(qtPlatform.constData())});
    }
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    QApplication app(count, arguments.data());
    AppDelegate delegate;
    if (!delegate.launch(QCoreApplication::arguments())) {
        return delegate.exitCode();
    }
    return QApplication::exec();
}
