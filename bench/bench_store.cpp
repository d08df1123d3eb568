#include "BenchHabits.h"
#include "BenchMain.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace ovlin;

namespace {

constexpr int reminderCount = 100;
constexpr int logCount = 200000;

// A store file with 100 habits and 200,000 logs over two years, made once for all benchmarks.
const QString &populatedStore()
{
    static QTemporaryDir dir;
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("Bench.store"));
        QString error;
        if (bench::writeProfileStore(file, reminderCount, logCount, 730, QDate(2026, 6, 10), QTime(23, 59), &error) !=
            logCount)
            qFatal("cannot create the benchmark store: %s", qPrintable(error));
        return file;
    }();
    return path;
}

void BM_OpenAndLoad(benchmark::State &state)
{
    const QString path = populatedStore();
    for (auto _ : state) {
        QString error;
        auto store = StoreContainer::open(path, &error);
        if (!store || store->mainContext()->fetchCount<ReminderLog>() != logCount) {
            state.SkipWithError("open failed");
            break;
        }
        state.PauseTiming();
        store.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenAndLoad)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_SaveOneNewLog(benchmark::State &state)
{
    QString error;
    auto store = StoreContainer::open(populatedStore(), &error);
    StoreContext *context = store->mainContext();
    const auto reminder = context->fetch<Reminder>().first();
    const QDateTime at = QDateTime::fromString(QStringLiteral("2030-01-01T08:00:00Z"), Qt::ISODate);
    for (auto _ : state) {
        auto log = ReminderLog::create(QUuid::createUuid(), reminder, at, at, LogStatus::completed);
        context->insert(log);
        if (!context->save(&error)) {
            state.SkipWithError("save failed");
            break;
        }
    }
    // Keep the shared file at 200,000 logs for the next run of the open benchmark.
    for (const auto &log : context->fetch<ReminderLog>([&at](const ReminderLog &l) { return l.scheduledAt() == at; }))
        context->remove(log);
    context->save();
}
BENCHMARK(BM_SaveOneNewLog)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    return ovlin::bench::runBenchmarks(argc, argv);
}
