#include "Base/Clock.h"
#include "Base/Days.h"
#include "BenchMain.h"
#include "Engine/SchedulerService.h"
#include "Model/Reminder.h"
#include "Platform/DBusNotificationCenter.h"
#include "Platform/Store.h"
#include "Support/FakeNotificationCenter.h"

#include <QCoreApplication>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace ovlin;

// Half the habits at a fixed time every day, half every 30 minutes from 08:00 to 20:00: 8.5 pending requests a
// habit. Rescheduling all of them at launch must stay linear in the number of habits (50 habits under 20 ms);
// scheduling one after an edit under 1 ms whatever the number of habits.

namespace {

QList<std::shared_ptr<Reminder>> makeHabits(StoreContext *context, int count)
{
    QList<std::shared_ptr<Reminder>> reminders;
    const QList<Weekday> everyDay(allWeekdays.begin(), allWeekdays.end());
    for (int i = 0; i < count; ++i) {
        const bool interval = i % 2 == 1;
        auto reminder = Reminder::create(
            QUuid::createUuid(), QStringLiteral("Habit %1").arg(i), allReminderCategories[std::size_t(i % 6)],
            std::nullopt, interval ? ScheduleType::interval : ScheduleType::fixedTime,
            QDateTime(QDate(2024, 1, 1), QTime(7 + i % 14, (i * 7) % 60)),
            interval ? std::optional<qint64>(30) : std::nullopt, QDateTime(QDate(2024, 1, 1), QTime(8, 0)),
            QDateTime(QDate(2024, 1, 1), QTime(20, 0)), everyDay, true, Clock::now());
        context->insert(reminder);
        reminders << reminder;
    }
    return reminders;
}

struct Habits
{
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
};

// One store per size, kept for the whole run.
Habits &habits(int count)
{
    static std::map<int, Habits> all;
    Habits &h = all[count];
    if (!h.store) {
        Clock::setNow(Days::atTime(QDate(2026, 6, 10), 9, 0));
        QString error;
        h.store = StoreContainer::openInMemory(&error);
        h.reminders = makeHabits(h.store->mainContext(), count);
    }
    return h;
}

// The centre of the running program, without a notification server (nothing is delivered at 09:00).
NotificationCenter &programCenter()
{
    // Never destroyed: it must not outlive the application object's teardown.
    static auto *center = new DBusNotificationCenter(QDBusConnection(QStringLiteral("ovlin-bench-no-bus")));
    return *center;
}

void useCenter(NotificationCenter &center)
{
    NotificationCenter::setCurrent(&center);
    SchedulerService::shared().setNotificationCenter(&center);
}

void BM_RescheduleAll(benchmark::State &state)
{
    Habits &h = habits(int(state.range(0)));
    FakeNotificationCenter center;
    useCenter(center);
    for (auto _ : state) {
        SchedulerService::shared().rescheduleAll(h.reminders);
        center.clearRecords();
    }
    state.counters["pending"] = double(center.pendingRequests().size());
    state.SetComplexityN(state.range(0));
    useCenter(programCenter());
}
BENCHMARK(BM_RescheduleAll)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Complexity();

void BM_RescheduleAllProgramCenter(benchmark::State &state)
{
    Habits &h = habits(int(state.range(0)));
    useCenter(programCenter());
    for (auto _ : state)
        SchedulerService::shared().rescheduleAll(h.reminders);
    state.counters["pending"] = double(programCenter().pendingRequests().size());
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_RescheduleAllProgramCenter)->Arg(50)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_ScheduleOne(benchmark::State &state)
{
    Habits &h = habits(int(state.range(0)));
    useCenter(programCenter());
    SchedulerService::shared().rescheduleAll(h.reminders);
    for (auto _ : state)
        SchedulerService::shared().schedule(*h.reminders.at(25));
}
BENCHMARK(BM_ScheduleOne)->Arg(50)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    return ovlin::bench::runBenchmarks(argc, argv, [] { ovlin::NotificationCenter::setCurrent(nullptr); });
}
