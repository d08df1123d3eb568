// Helper process for the analytics tests, aimed at the given base URL and never posting (the send
// interval is an hour).
//   analytics_cache_child URL               sends a signal every 10 ms and prints "cached N" once
//                                           record N is in the cache, until it is killed
//   analytics_cache_child URL install WHEN  an install's first start, ending at WHEN: "begun" (killed
//                                           as its session begins), "cached" (killed once the install
//                                           report is in the cache) or "quit" (quits once it is)
//   analytics_cache_child load FILE         opens the cache of that file, prints "loaded N" and ends; a
//                                           load that does not stop reading ends the process (status 3)
//                                           before it takes the machine's memory
#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManager.h"
#include "Analytics/SignalCache.h"
#include "Analytics/SignalManager.h"
#include "Analytics/Timings.h"

#include <QCoreApplication>
#include <QTimer>
#include <QUuid>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include <unistd.h>

using namespace analytics;

namespace {

void endWhenLargerThan(long bytes)
{
    std::thread([bytes] {
        const long page = ::sysconf(_SC_PAGESIZE);
        for (;;) {
            long size = 0;
            long resident = 0;
            if (FILE *statm = std::fopen("/proc/self/statm", "r")) {
                if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2)
                    resident = 0;
                std::fclose(statm);
            }
            if (resident > bytes / page) {
                std::fputs("out of bounds\n", stdout);
                std::fflush(stdout);
                ::_exit(3);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }).detach();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    if (argc == 3 && qstrcmp(argv[1], "load") == 0) {
        endWhenLargerThan(512L * 1024 * 1024);
        const auto cache = SignalCache::open(std::nullopt, QString::fromLocal8Bit(argv[2]));
        std::printf("loaded %d\n", cache->count());
        std::fflush(stdout);
        return 0;
    }
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

    if (argc > 3 && QByteArray(argv[2]) == "install") {
        const QByteArray when = argv[3];
        // Begins the first session and queues its install report.
        config->setSessionID(QUuid::createUuid());
        if (when == "begun")
            std::raise(SIGKILL);
        auto *poll = new QTimer(&app);
        QObject::connect(poll, &QTimer::timeout, [&] {
            for (const SignalPostBody &record : cache->waitingRecords()) {
                if (record.type != QStringLiteral("Analytics.Acquisition.newInstallDetected"))
                    continue;
                if (when == "cached")
                    std::raise(SIGKILL);
                QCoreApplication::quit();
            }
        });
        poll->start(0);
        return app.exec();
    }

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
