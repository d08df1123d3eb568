#include "Base/Clock.h"
#include "Base/Days.h"
#include "BenchHabits.h"
#include "BenchMain.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QCoreApplication>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <memory>

using namespace ovlin;

// Targets with 50 reminders and three years of logs (about 165,000):
//   currentStreak under 5 ms, one reminder's resolution for one day under 20 µs,
//   all of today's occurrences with their attempts under 1 ms.
// The "AfterChange" variants change a record before every call, so the log index is rebuilt each time.

namespace {

constexpr int historyDays = 3 * 365;
const QDate today(2026, 6, 10);

struct Fixture
{
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
    qsizetype logCount = 0;

    Fixture()
    {
        QString error;
        store = StoreContainer::openInMemory(&error);
        StoreContext *context = store->mainContext();
        const QDate first = today.addDays(-historyDays);
        reminders = bench::makeFiftyHabits(context, first);
        // About three logs per habit-day, each day ending answered; today up to 18:00.
        logCount = bench::addHistory(reminders, qint64(historyDays + 1) * 50 * 3, first, today, QTime(18, 0));
        context->save();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void touch(Fixture &f, benchmark::State &state)
{
    static int change = 0;
    state.PauseTiming();
    f.reminders.first()->setTitle(QStringLiteral("Habit changed %1").arg(++change));
    state.ResumeTiming();
}

} // namespace

static void BM_CurrentStreak(benchmark::State &state)
{
    Fixture &f = fixture();
    const QDateTime now = Days::atTime(today, 18, 0);
    Clock::setNow(now);
    qint64 streak = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(streak = ReminderBehaviorService::shared().currentStreak(f.reminders, {}, now));
    state.counters["streak"] = double(streak);
    state.counters["logs"] = double(f.logCount);
}
BENCHMARK(BM_CurrentStreak)->Unit(benchmark::kMillisecond);

static void BM_CurrentStreakAfterChange(benchmark::State &state)
{
    Fixture &f = fixture();
    const QDateTime now = Days::atTime(today, 18, 0);
    Clock::setNow(now);
    for (auto _ : state) {
        touch(f, state);
        benchmark::DoNotOptimize(ReminderBehaviorService::shared().currentStreak(f.reminders, {}, now));
    }
}
BENCHMARK(BM_CurrentStreakAfterChange)->Unit(benchmark::kMillisecond);

static void BM_Resolution(benchmark::State &state)
{
    Fixture &f = fixture();
    Clock::setNow(Days::atTime(today, 18, 0));
    QList<QDateTime> days;
    for (int d = 0; d < 64; ++d)
        days << Days::atTime(today.addDays(-d * 17), 12, 0);
    std::size_t i = 0;
    for (auto _ : state) {
        const auto &reminder = f.reminders.at(qsizetype(i % 50));
        benchmark::DoNotOptimize(ReminderBehaviorService::shared().resolution(*reminder, days.at(qsizetype(i % 64))));
        ++i;
    }
}
BENCHMARK(BM_Resolution)->Unit(benchmark::kMicrosecond);

static void BM_ResolutionAfterChange(benchmark::State &state)
{
    Fixture &f = fixture();
    Clock::setNow(Days::atTime(today, 18, 0));
    const QDateTime day = Days::atTime(today.addDays(-400), 12, 0);
    for (auto _ : state) {
        touch(f, state);
        benchmark::DoNotOptimize(ReminderBehaviorService::shared().resolution(*f.reminders.at(1), day));
    }
}
BENCHMARK(BM_ResolutionAfterChange)->Unit(benchmark::kMicrosecond);

// What one pass of the presentation loop lists at 18:00.
static void BM_TodaysOccurrences(benchmark::State &state)
{
    Fixture &f = fixture();
    const QDateTime now = Days::atTime(today, 18, 0);
    Clock::setNow(now);
    qsizetype count = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(count = ReminderPresentationService::shared().dueOccurrences(f.reminders, now).size());
    qsizetype times = 0;
    for (const auto &reminder : f.reminders)
        times += ReminderPresentationService::shared().occurrenceTimes(*reminder, now).size();
    state.counters["dueTimes"] = double(times);
    state.counters["presentable"] = double(count);
}
BENCHMARK(BM_TodaysOccurrences)->Unit(benchmark::kMicrosecond);

// The list screens' question for every reminder: the earliest open due time now.
static void BM_DueOccurrenceTimeAll(benchmark::State &state)
{
    Fixture &f = fixture();
    const QDateTime now = Days::atTime(today, 18, 0);
    Clock::setNow(now);
    for (auto _ : state) {
        for (const auto &reminder : f.reminders)
            benchmark::DoNotOptimize(ReminderPresentationService::shared().dueOccurrenceTime(*reminder, now));
    }
}
BENCHMARK(BM_DueOccurrenceTimeAll)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return ovlin::bench::runBenchmarks(argc, argv);
}
