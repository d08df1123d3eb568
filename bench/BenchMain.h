#pragma once

#include "Platform/TimeZoneEnvironment.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <functional>

namespace ovlin::bench {

// The entry point every benchmark program shares: the zone pinned as the program pins it (otherwise every
// local-time conversion rereads /etc/localtime), a Qt application for the store and timers, and
// `beforeShutdown` for what must go while Qt is still up. `App` is QApplication for benchmarks that
// build widgets.
template <typename App = QCoreApplication>
int runBenchmarks(int argc, char **argv, const std::function<void()> &beforeShutdown = {})
{
    pinSystemTimeZone();
    int appArgc = 1;
    App app(appArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    if (beforeShutdown)
        beforeShutdown();
    benchmark::Shutdown();
    return 0;
}

} // namespace ovlin::bench
