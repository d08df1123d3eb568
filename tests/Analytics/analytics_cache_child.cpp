// Helper process for the kill test: sends a signal every 10 ms to the given base URL without ever
// posting (the send interval is an hour) and prints "cached N" once record N is in the cache,
// until it is killed.
#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManager.h"
#include "Analytics/SignalCache.h"
#include "Analytics/SignalManager.h"
#include "Analytics/Timings.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

using namespace analytics;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    Timings timings;
    timings.firstSessionDelay = std::chrono::hours(1);
    timings.sendInterval = std::chrono::hours(1);
    timings.sessionTimerInterval = std::chrono::hours(1);
    Timings::setCurrent(timings);

    auto config = AnalyticsManagerConfiguration::create(QStringLiteral("KILL-TEST"), std::nullopt,
                                                        QUrl(QString::fromLocal8Bit(argv[1])));
    config->setLogHandler(std::nullopt);
    Analytics::initializeWith(config);
    const auto signalManager =
        std::dynamic_pointer_cast<SignalManager>(AnalyticsManager::sharedManager()->signalManager());
    const std::shared_ptr<SignalCache> cache = signalManager->signalCache();

    int sent = 0;
    int reported = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        Analytics::send(QStringLiteral("tick"), {{QStringLiteral("n"), QString::number(sent++)}});
        // Nothing is sent, so the cache only grows, in the order of the signals.
        for (const int count = cache->count(); reported < count; ++reported)
            std::printf("cached %d\n", reported);
        std::fflush(stdout);
    });
    timer.start(10);
    return app.exec();
}
