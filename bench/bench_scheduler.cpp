#include "Engine/SchedulerService.h"
#include "Model/Reminder.h"
#include "Platform/Clock.h"
#include "Platform/Days.h"
#include "Platform/FakeNotificationCenter.h"
#include "Platform/Store.h"

#include <QCoreApplication>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <memory>

using namespace ovlin;

// Targets with 50 reminders (half fixed-time every day, half every 30 minutes from 08:00 to 20:00, so 425
// pending requests): rescheduling them all at launch under 20 ms, scheduling one after an edit under 1 ms.

namespace {

struct Fixture
{
    std::unique_ptr<StoreContainer> store;
    FakeNotificationCenter center;
    QList<std::shared_ptr<Reminder>> reminders;

    Fixture()
    {
        Clock::setNow(Days::atTime(QDate(2026, 6, 10), 9, 0));
        QString error;
        store = StoreContainer::openInMemory(&error);
        const QList<Weekday> everyDay(allWeekdays.begin(), allWeekdays.end());
        for (int i = 0; i < 50; ++i) {
            const bool interval = i % 2 == 1;
            auto reminder = Reminder::create(
                QUuid::createUuid(), QStringLiteral("Habit %1").arg(i), allReminderCategories[std::size_t(i % 6)],
                std::nullopt, interval ? ScheduleType::interval : ScheduleType::fixedTime,
                QDateTime(QDate(2024, 1, 1), QTime(7 + i % 14, (i * 7) % 60)),
                interval ? std::optional<qint64>(30) : std::nullopt, QDateTime(QDate(2024, 1, 1), QTime(8, 0)),
                QDateTime(QDate(2024, 1, 1), QTime(20, 0)), everyDay, true, Clock::now());
            store->mainContext()->insert(reminder);
            reminders << reminder;
        }
        NotificationCenter::setCurrent(&center);
        SchedulerService::shared().setNotificationCenter(&center);
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void BM_RescheduleAll(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        SchedulerService::shared().rescheduleAll(f.reminders);
        f.center.clearRecords();
    }
    state.counters["pending"] = double(f.center.pendingRequests().size());
}
BENCHMARK(BM_RescheduleAll)->Unit(benchmark::kMillisecond);

void BM_ScheduleOne(benchmark::State &state)
{
    Fixture &f = fixture();
    SchedulerService::shared().rescheduleAll(f.reminders);
    for (auto _ : state) {
        SchedulerService::shared().schedule(*f.reminders.at(25));
        f.center.clearRecords();
    }
}
BENCHMARK(BM_ScheduleOne)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    int appArgc = 1;
    QCoreApplication app(appArgc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
