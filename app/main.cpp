#include "KeloLens/AppDelegate/AppDelegate.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // Every diagnostic line starts "KeloLens: " by itself; Qt would put the category first.
    qSetMessagePattern(QStringLiteral("%{message}"));
    QApplication app(argc, argv);
    AppDelegate delegate;
    if (!delegate.launch(QCoreApplication::arguments())) {
        return delegate.exitCode();
    }
    return QApplication::exec();
}
