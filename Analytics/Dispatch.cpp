#include "Analytics/Dispatch.h"

#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/Timings.h"

#include <QCoreApplication>
#include <QTimer>

namespace analytics {

void runOnMainThread(std::function<void()> task)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app) {
        task();
        return;
    }
    QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
}

void runOnMainThreadAfter(std::chrono::milliseconds delay, std::function<void()> task)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [delay, task = std::move(task)] { QTimer::singleShot(timerMSecs(delay), QCoreApplication::instance(), task); },
        Qt::QueuedConnection);
}

SerialQueue &utilityQueue()
{
    // Never destroyed, so work queued during exit has a queue to land on.
    static auto *queue = new SerialQueue(std::string(kReverseDomainPrefix) + ".utility");
    return *queue;
}

} // namespace analytics
