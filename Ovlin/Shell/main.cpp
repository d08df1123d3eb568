#include "Shell/AppDelegate.h"

#include <QCoreApplication>
#include <QtGlobal>

// Until the application shell lands, the program opens its store the way the shell will and reports
// which store it uses.
int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Ovlin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(OVLIN_VERSION));

    const ovlin::AppDelegate delegate;
    const ovlin::StoreContainer *store = delegate.sharedContainer();
    if (store->isInMemory())
        qInfo("Using in-memory store");
    else
        qInfo("Using store at %s", qUtf8Printable(store->filePath()));
    return 0;
}
