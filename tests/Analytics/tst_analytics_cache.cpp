#include "Analytics/SignalCache.h"

#include "Support/AnalyticsTestSupport.h"
#include "Support/FileSizeLimit.h"
#include "Support/NonRegularFiles.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

using namespace analytics;

namespace {

SignalPostBody record(int n)
{
    SignalPostBody r;
    r.receivedAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL + n * 1001LL);
    r.appID = QStringLiteral("APP");
    r.clientUser = QStringLiteral("user");
    r.sessionID = QStringLiteral("SESSION");
    r.type = QStringLiteral("signal.%1").arg(n);
    r.payload = {{QStringLiteral("n"), QString::number(n)}};
    r.isTestMode = QStringLiteral("false");
    if (n % 3 == 0)
        r.floatValue = n / 7.0;
    return r;
}

QList<SignalPostBody> records(int from, int count)
{
    QList<SignalPostBody> list;
    for (int n = from; n < from + count; ++n)
        list.append(record(n));
    return list;
}

std::optional<QList<SignalPostBody>> fileContent(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SignalEncoder(SignalPostBody::DateForm::cache).decode(file.readAll());
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The cache's order, batches, and its file as the durable copy of every undelivered record.
class TestAnalyticsCache : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AnalyticsSandbox> m_sandbox;
    QString m_path;

    void setWriteInterval(std::chrono::milliseconds interval)
    {
        Timings timings = Timings::current();
        timings.cacheWriteInterval = interval;
        Timings::setCurrent(timings);
    }

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<AnalyticsSandbox>();
        m_path = m_sandbox->path() + QStringLiteral("/analyticssignalcache");
    }

    void cleanup() { m_sandbox.reset(); }

    void popsOldestHundred()
    {
        const auto cache = SignalCache::open(std::nullopt, m_path);
        for (const SignalPostBody &r : records(0, 200))
            cache->push(r);
        cache->push(records(200, 50));
        const SignalCache::Batch batch = cache->pop();
        QCOMPARE(batch.records, records(0, 100));
        QCOMPARE(cache->waitingRecords(), records(100, 150));
        QCOMPARE(cache->inFlightCount(), 100);
    }

    void finishedBatches_data()
    {
        QTest::addColumn<bool>("delivered");
        QTest::newRow("delivered batch is dropped") << true;
        QTest::newRow("failed batch goes behind newer records") << false;
    }

    void finishedBatches()
    {
        QFETCH(bool, delivered);
        const auto cache = SignalCache::open(std::nullopt, m_path);
        cache->push(records(0, 120));
        const SignalCache::Batch batch = cache->pop();
        cache->push(records(120, 5));
        cache->finish(batch.id, delivered);
        QCOMPARE(cache->inFlightCount(), 0);
        QList<SignalPostBody> expected = records(100, 25);
        if (!delivered)
            expected += records(0, 100);
        QCOMPARE(cache->waitingRecords(), expected);
        // An unknown or finished batch changes nothing.
        cache->finish(batch.id, false);
        QCOMPARE(cache->waitingRecords(), expected);
    }

    void backupAndRestartRestoresRecords()
    {
        LogRecorder log;
        {
            const auto cache = SignalCache::open(log.handler(), m_path);
            QVERIFY(log.contains(QStringLiteral("INFO: Loading Analytics cache from: ") +
                                 QUrl::fromLocalFile(m_path).toString()));
            cache->push(records(0, 30));
            const SignalCache::Batch inFlight = cache->pop();
            cache->push(records(30, 2));
            cache->backupCache();
            QCOMPARE(log.linesWith(QStringLiteral("INFO: Saved Analytics cache ")).size(), 1);
            QVERIFY(log.linesWith(QStringLiteral("INFO: Saved Analytics cache ")).first().endsWith(" of 32 signals"));
            // Records in flight at termination are in the file with the rest, oldest first.
            QCOMPARE(fileContent(m_path).value(), records(0, 32));
            Q_UNUSED(inFlight);
        }
        log.clear();
        const auto restarted = SignalCache::open(log.handler(), m_path);
        QVERIFY(log.contains(QStringLiteral("INFO: Loaded 32 signals")));
        QCOMPARE(restarted->waitingRecords(), records(0, 32));
        // The file stays until a newer copy replaces it.
        QVERIFY(QFile::exists(m_path));
    }

    void unreadableFileIsDiscarded_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text") << QByteArray("not json");
        QTest::newRow("object") << QByteArray("{\"a\":1}");
        QTest::newRow("array of wrong records") << QByteArray("[{\"type\":\"x\"}]");
    }

    void unreadableFileIsDiscarded()
    {
        QFETCH(QByteArray, content);
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        LogRecorder log;
        const auto cache = SignalCache::open(log.handler(), m_path);
        QCOMPARE(cache->count(), 0);
        QVERIFY(!QFile::exists(m_path));
        QCOMPARE(log.lines().size(), 1); // only the "Loading" line
    }

    // Whatever takes the cache file's place is neither waited on, nor read, nor removed, nor replaced.
    void specialFilesAreLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("link to a FIFO") << QStringLiteral("link to fifo");
        QTest::newRow("socket") << QStringLiteral("socket");
        QTest::newRow("link to a socket") << QStringLiteral("link to socket");
        QTest::newRow("folder") << QStringLiteral("folder");
    }

    void specialFilesAreLeftAlone()
    {
        QFETCH(QString, kind);
        setWriteInterval(std::chrono::hours(1));
        const bool linked = kind.startsWith(QLatin1String("link to "));
        const QString made = linked ? m_path + QStringLiteral(".target") : m_path;
        if (kind.endsWith(QLatin1String("fifo")))
            QVERIFY(special_files::makeFifo(made));
        else if (kind.endsWith(QLatin1String("socket")))
            QVERIFY(special_files::makeSocket(made));
        else
            QVERIFY(QDir().mkdir(made));
        if (linked)
            QVERIFY(QFile::link(made, m_path));
        const mode_t before = special_files::entryKind(made);
        LogRecorder log;
        {
            special_files::FifoUnblocker unblocker(made);
            const auto cache = SignalCache::open(log.handler(), m_path);
            QVERIFY2(!unblocker.hadToUnblock(), "loading waited on the FIFO");
            QCOMPARE(cache->count(), 0);
            cache->push(record(0));
            cache->backupCache();
            QCOMPARE(cache->count(), 1);
        }
        QCOMPARE(special_files::entryKind(made), before);
        QCOMPARE(special_files::entryKind(m_path), linked ? mode_t(S_IFLNK) : before);
        QCOMPARE(log.linesWith(QStringLiteral("ERROR: Not loading Analytics cache: ")).size(), 1);
        // Said with its reason; how many times depends on whether the background write came first.
        QVERIFY(!log.linesWith(QStringLiteral("ERROR: Error saving Analytics cache: ")).isEmpty());
    }

    // A link to an endless device is not read; the helper process ends itself should it read on.
    void endlessDeviceIsNotRead()
    {
        if (!QFileInfo(QStringLiteral("/dev/zero")).exists())
            QSKIP("no /dev/zero");
        // The helper only loads: nothing it does writes the cache file.
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), m_path));
        QProcess child;
        child.start(QStringLiteral(ANALYTICS_CACHE_CHILD), {QStringLiteral("load"), m_path});
        if (!child.waitForFinished(60000)) {
            child.kill();
            child.waitForFinished();
            QFAIL("the load did not end");
        }
        QCOMPARE(QString::fromUtf8(child.readAllStandardOutput()).trimmed(), QStringLiteral("loaded 0"));
        QCOMPARE(child.exitCode(), 0);
        QCOMPARE(QFile::symLinkTarget(m_path), QStringLiteral("/dev/zero"));
    }

    // A relative XDG_CACHE_HOME is invalid: the cache under the home folder is used.
    void relativeCacheHomeIsIgnored()
    {
        const QByteArray previous = qgetenv("XDG_CACHE_HOME");
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_sandbox->path()));
        qputenv("XDG_CACHE_HOME", "cache");
        const QString path = SignalCache::defaultFilePath();
        qputenv("XDG_CACHE_HOME", previous);
        QDir::setCurrent(current);
        QCOMPARE(path, QDir::homePath() + QStringLiteral("/.cache/Ovlin/analyticssignalcache"));
    }

    void changesReachTheFileWithinTheInterval()
    {
        setWriteInterval(std::chrono::milliseconds(200));
        const auto cache = SignalCache::open(std::nullopt, m_path);
        cache->push(records(0, 3));
        QTRY_COMPARE_WITH_TIMEOUT(fileContent(m_path).value_or(QList<SignalPostBody>()), records(0, 3), 2000);
        cache->push(record(3));
        cache->push(record(4));
        QTRY_COMPARE_WITH_TIMEOUT(fileContent(m_path).value_or(QList<SignalPostBody>()), records(0, 5), 2000);
        const SignalCache::Batch batch = cache->pop();
        cache->finish(batch.id, true);
        QTRY_COMPARE_WITH_TIMEOUT(fileContent(m_path).value_or(QList<SignalPostBody>({record(99)})),
                                  QList<SignalPostBody>(), 2000);
    }

    void writesAreCoalesced()
    {
        setWriteInterval(std::chrono::hours(1));
        const auto cache = SignalCache::open(std::nullopt, m_path);
        cache->push(record(0)); // written at once: nothing was written before
        QTRY_VERIFY_WITH_TIMEOUT(fileContent(m_path).has_value(), 2000);
        cache->push(record(1));
        cache->push(record(2));
        QTest::qWait(50);
        QCOMPARE(fileContent(m_path).value(), records(0, 1));
        cache->backupCache();
        QCOMPARE(fileContent(m_path).value(), records(0, 3));
    }

    void releasingTheCacheWritesItsLastChanges()
    {
        setWriteInterval(std::chrono::hours(1));
        {
            const auto cache = SignalCache::open(std::nullopt, m_path);
            cache->push(record(0));
            QTRY_VERIFY_WITH_TIMEOUT(fileContent(m_path).has_value(), 2000);
            cache->push(record(1));
        }
        QCOMPARE(fileContent(m_path).value(), records(0, 2));
    }

    void oneCachePerFile()
    {
        const auto first = SignalCache::open(std::nullopt, m_path);
        first->push(record(0));
        const auto second = SignalCache::open(std::nullopt, m_path);
        QCOMPARE(second.get(), first.get());
        QCOMPARE(second->count(), 1);
        const auto other = SignalCache::open(std::nullopt, m_path + QStringLiteral(".other"));
        QVERIFY(other.get() != first.get());
    }

    // A copy that cannot reach the disk leaves the earlier file as it was.
    void failedBackupKeepsTheEarlierFile()
    {
        setWriteInterval(std::chrono::hours(1));
        LogRecorder log;
        const auto cache = SignalCache::open(log.handler(), m_path);
        cache->push(records(0, 2));
        cache->backupCache();
        const QByteArray before = fileBytes(m_path);
        cache->push(records(2, 40));
        {
            FileSizeLimit limit(before.size() + 16);
            cache->backupCache();
        }
        // The line says why.
        const QStringList lines = log.linesWith(QStringLiteral("ERROR: Error saving Analytics cache: "));
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains(QString::fromLocal8Bit(std::strerror(EFBIG))), qPrintable(lines.first()));
        QCOMPARE(fileBytes(m_path), before);
        QCOMPARE(cache->count(), 42);
        cache->backupCache();
        QCOMPARE(fileContent(m_path).value(), records(0, 42));
    }

    // A durable record's wait for its delivery starts with its push: a batch accepted while the file is
    // being written (here, as the outcome of the write is logged) ends it all the same, once.
    void durableRecordIsStoredOnce_data()
    {
        QTest::addColumn<bool>("writable");
        QTest::newRow("file written") << true;
        QTest::newRow("file cannot be written") << false;
    }

    void durableRecordIsStoredOnce()
    {
        QFETCH(bool, writable);
        setWriteInterval(std::chrono::hours(1));
        if (!writable)
            QVERIFY(QDir().mkpath(m_path));
        std::weak_ptr<SignalCache> sender;
        std::atomic_flag sent;
        QList<SignalPostBody> delivered;
        std::atomic<int> stored = 0;
        LogHandler handler;
        handler.logLevel = LogHandler::LogLevel::debug;
        handler.handler = [&](LogHandler::LogLevel, const QString &message) {
            const bool written = message.startsWith(QLatin1String("Saved Analytics cache"));
            if ((!written && !message.startsWith(QLatin1String("Error saving"))) || sent.test_and_set())
                return;
            const auto cache = sender.lock();
            const SignalCache::Batch batch = cache->pop();
            delivered = batch.records;
            cache->finish(batch.id, true);
        };
        const auto cache = SignalCache::open(handler, m_path);
        sender = cache;
        cache->pushDurably(
            record(0), [](const SignalPostBody &held) { return held.type == "signal.0"; }, [&stored] { ++stored; });
        QCOMPARE(delivered, records(0, 1));
        QCOMPARE(stored.load(), 1);
    }

    void nonFiniteValueIsDroppedNotTheCache()
    {
        LogRecorder log;
        const auto cache = SignalCache::open(log.handler(), m_path);
        SignalPostBody bad = record(1);
        bad.floatValue = std::numeric_limits<double>::infinity();
        cache->push({record(0), bad});
        cache->backupCache();
        const auto stored = fileContent(m_path);
        QVERIFY(stored);
        QCOMPARE(stored->size(), 2);
        QVERIFY(!stored->at(1).floatValue);
        QVERIFY(
            log.contains(QStringLiteral("ERROR: Dropping float value inf of signal signal.1: JSON cannot carry it")));
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsCache)
#include "tst_analytics_cache.moc"
