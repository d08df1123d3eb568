// Analytics client costs per signal and per batch.
// Targets (release build): a 100-record request body under 5 ms, a cache file write of 1000 records
// under 50 ms, the default payload of one signal under 1 ms.
#include "Analytics/DefaultSignalPayload.h"
#include "Analytics/SignalCache.h"
#include "Analytics/SignalPostBody.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace analytics;

namespace {

SignalPostBody sampleRecord(int n)
{
    SignalPostBody record;
    record.receivedAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n);
    record.appID = QStringLiteral("0C8B1F34-7A2D-4E51-9B7E-6D2F8A9C1E30");
    record.clientUser = QStringLiteral("9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08");
    record.sessionID = QStringLiteral("5F1E6C2A-1111-4111-8111-111111111111");
    record.type = QStringLiteral("habit.created");
    record.isTestMode = QStringLiteral("false");
    // About as many entries as the default payload brings.
    for (int i = 0; i < 60; ++i)
        record.payload.insert(QStringLiteral("Analytics.Key.%1").arg(i), QStringLiteral("value %1").arg(i));
    return record;
}

QList<SignalPostBody> sampleRecords(int count)
{
    QList<SignalPostBody> records;
    for (int n = 0; n < count; ++n)
        records.append(sampleRecord(n));
    return records;
}

void BM_EncodeRequestBody(benchmark::State &state)
{
    const QList<SignalPostBody> batch = sampleRecords(100);
    for (auto _ : state)
        benchmark::DoNotOptimize(analyticsEncoder().encode(batch));
}
BENCHMARK(BM_EncodeRequestBody)->Unit(benchmark::kMillisecond);

void BM_WriteCacheFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const auto cache = SignalCache::open(std::nullopt, dir.filePath(QStringLiteral("analyticssignalcache")));
    cache->push(sampleRecords(int(state.range(0))));
    for (auto _ : state)
        cache->backupCache();
}
BENCHMARK(BM_WriteCacheFile)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_DefaultPayload(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(DefaultSignalPayload::parameters());
}
BENCHMARK(BM_DefaultPayload)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
