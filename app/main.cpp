// SPDX-License-Identifier: GPL-3.0-or-later
#include "KeloLens/AppDelegate/AppDelegate.h"
#include "KeloPlatform/Platform.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Every diagnostic line starts "KeloLens: " by itself; Qt would put the category first.
    qSetMessagePattern(QStringLiteral("%{message}"));
    // Qt reads its platform when the application object is made, so the session picks it first.
    const QString qtPlatform =
        KeloPlatform::preferredQtPlatform(QProcessEnvironment::systemEnvironment());
    if (!qtPlatform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", qtPlatform.toLatin1());
    }
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.launch(QCoreApplication::arguments())) {
        return delegate.exitCode();
    }
    return QApplication::exec();
}
