// The data path as the screens drive it, on generated store files (bench/BenchHabits.h): opening the
// store, a check-off until the today screen's view model reads fresh, the presentation pass steady and
// right after a change, and the data part of the 60-second refresh. Each runs at 50 habits with 10,000,
// 100,000 and 1,000,000 logs, and at 1,000 and 10,000 habits with 100,000 logs.
//
// Targets: open with 200,000 logs ≤ 0.5 s, with 1,000,000 ≤ 1 s and ≤ 120 MiB for the whole app (the
// first screen's data ≤ 80 MiB of that, ≤ 8 MiB per 100,000 logs); check-off → view model
// ≤ 16 ms at 100,000 logs, ≤ 50 ms at 1,000,000; a pass right after a change ≤ 1 ms.
//
// Also the today screen drawn for a habit whose stored title is very long (a title is kept as stored,
// whatever its length): a 10 MiB title should cost about what a 100-character one does.
#include "Banners/CelebrationManager.h"
#include "Base/Clock.h"
#include "Base/Days.h"
#include "BenchHabits.h"
#include "BenchMain.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderLogIndex.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/LiveQuery.h"
#include "Platform/Store.h"
#include "ScreenParts/ReminderListViewModel.h"
#include "Today/ReminderListView.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

using namespace ovlin;

namespace {

const QDate today(2026, 6, 10);
const QTime cutoff(12, 0);
constexpr int historyDays = 730;

double residentMiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? double(fields[1].toLongLong()) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// One store file per size, kept between runs in the benchmark home.
QString profileStore(int habits, qint64 logs)
{
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/bench-profiles");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/h%1-l%2-d%3.store").arg(habits).arg(logs).arg(historyDays);
    if (QFile::exists(path))
        return path;
    QString error;
    if (bench::writeProfileStore(path, habits, logs, historyDays, today, cutoff, &error) < 0)
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    return path;
}

// An open store with the today screen's queries and view model, as the screen wires them.
struct Screen
{
    std::unique_ptr<StoreContainer> store;
    LiveQuery<Reminder> *reminders = nullptr;
    LiveQuery<ReminderLog> *logs = nullptr;
    std::unique_ptr<ReminderListViewModel> model;
    QObject owner;

    Screen(int habits, qint64 logCount)
    {
        Clock::setNow(Days::atTime(today, cutoff.hour(), cutoff.minute()));
        QString error;
        store = StoreContainer::open(profileStore(habits, logCount), &error);
        if (!store)
            qFatal("cannot open the profile: %s", qPrintable(error));
        StoreContext *context = store->mainContext();
        // One reward in play, so a check-off evaluates rewards as it does in the app.
        if (context->fetchCount<Milestone>() == 0) {
            context->insert(Milestone::create(QUuid::createUuid(), QStringLiteral("Bench"), QStringLiteral("Cake"),
                                              100000, 0.5, std::nullopt, Days::startOfDay(today.addDays(-30)),
                                              MilestoneStatus::active));
            context->save();
        }
        reminders = new LiveQuery<Reminder>(
            context, {}, [](const Reminder &a, const Reminder &b) { return a.createdAt() < b.createdAt(); }, &owner);
        logs = new LiveQuery<ReminderLog>(
            context, {}, [](const ReminderLog &a, const ReminderLog &b) { return a.scheduledAt() > b.scheduledAt(); },
            &owner);
        model = std::make_unique<ReminderListViewModel>(context);
        QObject::connect(reminders, &LiveQueryBase::resultChanged, &owner,
                         [this] { model->setReminders(reminders->result()); });
        QObject::connect(logs, &LiveQueryBase::resultChanged, &owner, [this] { model->setAllLogs(logs->result()); });
        model->setReminders(reminders->result());
        model->setAllLogs(logs->result());
        model->setMilestones(context->fetch<Milestone>());
    }

    // What the today screen reads to draw itself.
    void read()
    {
        benchmark::DoNotOptimize(model->todaysReminders().size());
        benchmark::DoNotOptimize(model->completedToday().size());
        benchmark::DoNotOptimize(model->skippedToday().size());
        benchmark::DoNotOptimize(model->overdue().size());
        benchmark::DoNotOptimize(model->upcomingToday().size());
        benchmark::DoNotOptimize(model->todayProgress());
        benchmark::DoNotOptimize(model->streak());
        benchmark::DoNotOptimize(model->completionRate(7));
        benchmark::DoNotOptimize(model->completionRate(30));
    }
};

std::unique_ptr<Screen> &current()
{
    static std::unique_ptr<Screen> screen;
    return screen;
}

Screen &screen(const benchmark::State &state)
{
    const int habits = int(state.range(0));
    const qint64 logs = state.range(1);
    static std::pair<int, qint64> key;
    auto &s = current();
    if (!s || key != std::pair(habits, logs)) {
        s.reset(); // one history in memory at a time
        key = {habits, logs};
        s = std::make_unique<Screen>(habits, logs);
    }
    return *s;
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->Args({50, 10000})->Args({50, 100000})->Args({50, 1000000})->Args({1000, 100000})->Args({10000, 100000});
}

} // namespace

// Runs `open` once per round and answers what the last round's result added to the resident memory, after
// giving freed memory back as the app does once its window is up.
template <class Open> double residentAdded(benchmark::State &state, Open open)
{
    double added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        malloc_trim(0);
        const double before = residentMiB();
        state.ResumeTiming();
        auto opened = open();
        if (!opened) {
            state.SkipWithError("open failed");
            break;
        }
        state.PauseTiming();
        malloc_trim(0);
        added = residentMiB() - before;
        opened.reset();
        ReminderLogIndex::shared().dropUnused(); // its tables would otherwise be freed inside the next round
        state.ResumeTiming();
    }
    return added;
}

// Opening the store file until every record is at hand; "MiB" is what the open store adds to the process.
static void BM_OpenStore(benchmark::State &state)
{
    current().reset();
    const QString path = profileStore(int(state.range(0)), state.range(1));
    state.counters["MiB"] = residentAdded(state, [&path] {
        QString error;
        return StoreContainer::open(path, &error);
    });
}
BENCHMARK(BM_OpenStore)->Apply(sizes)->Args({50, 200000})->Unit(benchmark::kMillisecond)->Iterations(3);

// Opening the store until the today screen's figures are read (every habit's log index built); "MiB" is
// what that adds to the process and "MiB per 100k logs" the part that grows with the history.
static void BM_FirstScreen(benchmark::State &state)
{
    current().reset();
    ReminderLogIndex::shared().dropUnused();
    const int habits = int(state.range(0));
    const qint64 logs = state.range(1);
    profileStore(habits, logs);
    const double added = residentAdded(state, [&] {
        auto s = std::make_unique<Screen>(habits, logs);
        s->read();
        return s;
    });
    state.counters["MiB"] = added;
    state.counters["MiB per 100k logs"] = added * 100000.0 / double(logs);
}
BENCHMARK(BM_FirstScreen)
    ->Args({50, 10000})
    ->Args({50, 100000})
    ->Args({50, 1000000})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A check-off from the list until the view model has its new lists and the screen's figures read fresh.
static void BM_CheckOffToViewModel(benchmark::State &state)
{
    Screen &s = screen(state);
    StoreContext *context = s.store->mainContext();
    qsizetype index = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const auto todays = s.model->pendingToday();
        const auto reminder = todays.isEmpty() ? s.model->reminders().first() : todays.at(index++ % todays.size());
        const auto before = reminder->loadedLogs();
        s.read();
        state.ResumeTiming();

        s.model->complete(reminder, false);
        QCoreApplication::processEvents(); // the store's notifications reach the queries and the model
        s.read();

        state.PauseTiming();
        for (const auto &log : reminder->loadedLogs()) {
            if (!before.contains(log))
                context->remove(log);
        }
        context->save();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_CheckOffToViewModel)->Apply(sizes)->Unit(benchmark::kMillisecond);

// One presentation pass's data work (every reminder's due occurrences with their attempts) with nothing
// changed since the last pass, and right after a log was added.
static void BM_TickSteady(benchmark::State &state)
{
    Screen &s = screen(state);
    const auto reminders = s.reminders->result();
    const QDateTime now = Clock::now();
    for (auto _ : state)
        benchmark::DoNotOptimize(ReminderPresentationService::shared().dueOccurrences(reminders, now).size());
}
BENCHMARK(BM_TickSteady)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// Runs `work` right after each of a series of check-offs (a log appended to one habit after another);
// the logs go again after the run.
template <class Work> void afterEachCheckOff(benchmark::State &state, Screen &s, Work work)
{
    StoreContext *context = s.store->mainContext();
    const auto reminders = s.reminders->result();
    const QDateTime now = Clock::now();
    qsizetype i = 0;
    QList<std::shared_ptr<ReminderLog>> added;
    for (auto _ : state) {
        state.PauseTiming();
        const auto log = ReminderLog::create(QUuid::createUuid(), reminders.at(i++ % reminders.size()),
                                             now.addSecs(-3600), std::nullopt, LogStatus::snoozed);
        context->insert(log);
        added << log;
        state.ResumeTiming();
        work(reminders, now);
    }
    for (const auto &log : std::as_const(added))
        context->remove(log);
    context->save();
}

static void BM_TickAfterChange(benchmark::State &state)
{
    afterEachCheckOff(state, screen(state), [](const auto &reminders, const QDateTime &now) {
        benchmark::DoNotOptimize(ReminderPresentationService::shared().dueOccurrences(reminders, now).size());
    });
}
BENCHMARK(BM_TickAfterChange)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// The streak right after a change to one habit's logs.
static void BM_StreakAfterChange(benchmark::State &state)
{
    qint64 streak = 0;
    afterEachCheckOff(state, screen(state), [&streak](const auto &reminders, const QDateTime &now) {
        benchmark::DoNotOptimize(streak = ReminderBehaviorService::shared().currentStreak(reminders, {}, now));
    });
    state.counters["streak"] = double(streak);
}
BENCHMARK(BM_StreakAfterChange)->Apply(sizes)->Unit(benchmark::kMillisecond);

// The 60-second refresh's data part: a new present time, then what the screen reads.
static void BM_MinuteRefresh(benchmark::State &state)
{
    Screen &s = screen(state);
    for (auto _ : state) {
        s.model->refreshDate();
        s.read();
    }
}
BENCHMARK(BM_MinuteRefresh)->Apply(sizes)->Unit(benchmark::kMillisecond);

// The today screen made, laid out and drawn at the main window's usual size, for one habit whose title
// has `state.range(0)` characters: what the window costs at start and at every return to its Home tab.
static void BM_TodayScreenLongTitle(benchmark::State &state)
{
    const QDate day(2026, 6, 10);
    Clock::setNow(Days::atTime(day, 12, 0));
    QString error;
    const auto store = StoreContainer::openInMemory(&error);
    if (!store)
        qFatal("cannot open a store in memory: %s", qPrintable(error));
    StoreContext *context = store->mainContext();
    const QString title =
        QString(QStringLiteral("Drink water ")).repeated(int(state.range(0) / 12 + 1)).left(int(state.range(0)));
    context->insert(Reminder::create(QUuid::createUuid(), title, ReminderCategory::water, std::nullopt,
                                     ScheduleType::fixedTime, Days::atTime(day, 18, 0), std::nullopt, std::nullopt,
                                     std::nullopt, {Weekday::wednesday}, true, Days::atTime(day.addDays(-1), 9, 0)));
    context->save();
    QImage frame(636, 604, QImage::Format_ARGB32_Premultiplied);
    CelebrationManager celebrations;
    for (auto _ : state) {
        ReminderListView view(context, &celebrations);
        view.resize(frame.size());
        view.show();
        view.flushPendingRebuild();
        QCoreApplication::processEvents();
        view.render(&frame);
        benchmark::DoNotOptimize(frame.bits());
    }
}
BENCHMARK(BM_TodayScreenLongTitle)->Arg(100)->Arg(100000)->Arg(10 * 1024 * 1024)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    // Widgets are drawn off screen: the benchmark needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return ovlin::bench::runBenchmarks<QApplication>(argc, argv, [] { current().reset(); });
}
