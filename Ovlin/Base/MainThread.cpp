#include "Base/MainThread.h"

#include "Base/Log.h"

#include <QCoreApplication>
#include <QThread>

namespace ovlin::detail {

void checkMainThread(const char *file, int line)
{
    const QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread())
        qCCritical(lcThread, "Main-thread code reached from another thread at %s:%d", file, line);
}

} // namespace ovlin::detail
