#include "Copy/CopyEngine.h"

#include <benchmark/benchmark.h>

using namespace ovlin;

// The whole caller road for one phrase: pool, fill, pick (secure source), record.
// Target: under 20 µs a phrase; phrases are asked for a few at a time, at most every few seconds.
static void BM_CopyText(benchmark::State &state)
{
    CopyEngine engine;
    const CopyContext context{.habitName = QStringLiteral("Water"), .streakCount = 7, .remaining = 3};
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.text(CopyTrigger::waterReminder, context));
}
BENCHMARK(BM_CopyText);

static void BM_FillPlaceholders(benchmark::State &state)
{
    const QString text = QStringLiteral("[habit_name]: [remaining] day[s] left for [reward_name], [progress_percent]");
    const CopyContext context{.habitName = QStringLiteral("Water"),
                              .rewardName = QStringLiteral("Cake"),
                              .remaining = 1,
                              .progressPercent = 80};
    for (auto _ : state)
        benchmark::DoNotOptimize(CopyEngine::fillPlaceholders(text, context));
}
BENCHMARK(BM_FillPlaceholders);

BENCHMARK_MAIN();
