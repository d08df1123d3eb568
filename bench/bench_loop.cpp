#include "Base/Clock.h"
#include "Base/Days.h"
#include "BenchHabits.h"
#include "BenchMain.h"
#include "Engine/BannerPresenter.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"
#include "Support/FakeNotificationCenter.h"

#include <QCoreApplication>
#include <QUuid>

#include <benchmark/benchmark.h>

#include <memory>

using namespace ovlin;

// Target: one pass of the presentation loop with 50 active reminders (half of them every 30 minutes
// from 08:00 to 20:00) and three years of logs takes under 1 ms.

namespace {

constexpr int historyDays = 3 * 365;
const QDate today(2026, 6, 10);

class NullPresenter : public BannerPresenter
{
public:
    void present(const QString &, const QString &, BannerStyle, const QList<BannerAction> &) override { ++shown; }
    void showFloating(const QString &, const QString &, BannerStyle, const QList<BannerAction> &) override { ++shown; }
    void dismiss() override {}
    void dismissBannerWithAction(const QUuid &) override {}
    int shown = 0;
};

class InactiveApp : public AppActivity
{
public:
    bool isActiveWithVisibleWindow() const override { return false; }
};

struct Fixture
{
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
    qsizetype logCount = 0;
    NullPresenter presenter;
    InactiveApp activity;
    FakeNotificationCenter notifications;

    Fixture()
    {
        QString error;
        store = StoreContainer::openInMemory(&error);
        StoreContext *context = store->mainContext();
        const QDate first = today.addDays(-historyDays);
        reminders = bench::makeFiftyHabits(context, first);
        // About three logs per habit-day; today up to 17:00, so the passes at 18:00 still find open
        // occurrences.
        logCount = bench::addHistory(reminders, qint64(historyDays + 1) * 50 * 3, first, today, QTime(17, 0));
        context->save();
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

// Passes at the given time of today after the loop has run since the morning, so the bookkeeping holds
// a day of presented attempts, as it does in a running app.
void runTicks(benchmark::State &state, int hour, int minute)
{
    Fixture &f = fixture();
    ReminderPresentationService &service = ReminderPresentationService::shared();
    service.resetForTesting();
    service.setBannerPresenter(&f.presenter, &f.activity);
    service.setNotificationCenter(&f.notifications);
    f.presenter.shown = 0;
    Clock::setNow(Days::atTime(today, 7, 0));
    service.start(f.store.get());
    const QDateTime end = Days::atTime(today, hour, minute);
    while (Clock::now() < end) {
        Clock::advance(15);
        service.tick();
    }
    for (auto _ : state)
        service.tick();
    state.counters["banners"] = double(f.presenter.shown);
    state.counters["logs"] = double(f.logCount);
    state.counters["attemptKeys"] = double(service.presentedAttemptKeys().size());
}

} // namespace

// The usual pass: reminders due, every attempt of the day already shown.
static void BM_Tick(benchmark::State &state)
{
    runTicks(state, 18, 0);
}
BENCHMARK(BM_Tick)->Unit(benchmark::kMicrosecond);

// After the evening warning and the summary time: both checked (and posted once) on every pass.
static void BM_TickLateEvening(benchmark::State &state)
{
    runTicks(state, 21, 45);
}
BENCHMARK(BM_TickLateEvening)->Unit(benchmark::kMicrosecond);

// The warning armed with nothing open: every pass resolves each scheduled reminder's day.
static void BM_TickEveningArmed(benchmark::State &state)
{
    Fixture &f = fixture();
    StoreContext *context = f.store->mainContext();
    for (const auto &reminder : f.reminders)
        context->insert(ReminderLog::create(QUuid::createUuid(), reminder, Days::atTime(today, 7, 0), std::nullopt,
                                            LogStatus::skipped));
    context->save();
    AppSettings::shared().setDailySummaryEnabled(false);
    runTicks(state, 20, 30);
    AppSettings::shared().setDailySummaryEnabled(true);
}
BENCHMARK(BM_TickEveningArmed)->Unit(benchmark::kMicrosecond);

int main(int argc, char **argv)
{
    return ovlin::bench::runBenchmarks(argc, argv);
}
