#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/Hashing.h"

#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QtTest>

using namespace analytics;

namespace {

const QString kAppID = QStringLiteral("0C8B1F34-7A2D-4E51-9B7E-6D2F8A9C1E30");

QStringList typesOf(const QList<QJsonObject> &records)
{
    QStringList types;
    for (const QJsonObject &record : records)
        types.append(record.value("type").toString());
    return types;
}

QStringList typesOf(const QJsonArray &array)
{
    QStringList types;
    for (const QJsonValue &value : array)
        types.append(value.toObject().value("type").toString());
    return types;
}

std::optional<QList<SignalPostBody>> cacheFile()
{
    QFile file(AnalyticsSandbox::cacheFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return SignalEncoder(SignalPostBody::DateForm::cache).decode(file.readAll());
}

} // namespace

// The whole road: initialisation, sessions, batches, termination and a killed process.
class TestAnalyticsEndToEnd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;

    std::shared_ptr<AnalyticsManagerConfiguration> configuration(const QUrl &baseUrl)
    {
        auto config = AnalyticsManagerConfiguration::create(kAppID, std::nullopt, baseUrl);
        config->setLogHandler(m_case->log.handler(LogHandler::LogLevel::info));
        return config;
    }

    static void setTimings(std::chrono::milliseconds firstSession, std::chrono::milliseconds sendInterval)
    {
        Timings timings = Timings::current();
        timings.firstSessionDelay = firstSession;
        timings.sendInterval = sendInterval;
        Timings::setCurrent(timings);
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
    }

    void cleanup() { m_case.reset(); }

    void launchSendsSessionAndInstallSignals()
    {
        setTimings(std::chrono::milliseconds(20), std::chrono::milliseconds(100));
        Analytics::initializeWith(configuration(m_case->server.baseUrl()));
        Analytics::send(QStringLiteral("app.launched"));
        const QSet<QString> expected{"app.launched", "Analytics.Session.started",
                                     "Analytics.Acquisition.newInstallDetected"};
        const auto sentTypes = [this] {
            const QStringList types = typesOf(m_case->server.records());
            return QSet<QString>(types.begin(), types.end());
        };
        QTRY_VERIFY_WITH_TIMEOUT(sentTypes().contains(expected), 10000);
        const auto stored = analyticsDefaults()->stringValue(QStringLiteral("defaultUserIdentifier"));
        QVERIFY(stored);
        for (const QJsonObject &record : m_case->server.records()) {
            QCOMPARE(record.value("clientUser").toString(), sha256Hex(*stored));
            QCOMPARE(record.value("appID").toString(), kAppID);
            QCOMPARE(record.value("payload").toObject().value("platform").toString(), QStringLiteral("Linux"));
        }
        for (const TestHttpServer::Request &request : m_case->server.requests()) {
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(request.path, QByteArray("/v2/"));
        }
        QCOMPARE(typesOf(m_case->server.records()).count("Analytics.Session.started"), 1);
    }

    void immediateSyncGivesOnePost()
    {
        Analytics::initializeWith(configuration(m_case->server.baseUrl()));
        for (const char *name : {"one", "two", "three"})
            Analytics::send(QString::fromLatin1(name));
        QTRY_COMPARE(AnalyticsSandbox::cache()->count(), 3);
        Analytics::requestImmediateSync();
        Analytics::requestImmediateSync();
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        QCOMPARE(typesOf(m_case->server.requests().first().jsonArray()), (QStringList{"one", "two", "three"}));
        Analytics::send(QStringLiteral("four"));
        QTRY_COMPARE(AnalyticsSandbox::cache()->count(), 1);
        Analytics::requestImmediateSync();
        QTest::qWait(150);
        QCOMPARE(m_case->server.requests().size(), 1);
    }

    void terminationKeepsUnsentRecordsForTheNextManager()
    {
        // The endpoint does not answer: the first batch is still in flight at termination.
        auto down = std::make_unique<TestHttpServer>();
        QVERIFY(down->listen());
        down->setDefaultReply({TestHttpServer::Mode::stall, 0, {}});
        Analytics::initializeWith(configuration(down->baseUrl()));
        for (const char *name : {"a", "b", "c"})
            Analytics::send(QString::fromLatin1(name));
        QTRY_COMPARE(AnalyticsSandbox::cache()->count(), 3);
        Analytics::requestImmediateSync();
        QTRY_COMPARE(down->requests().size(), 1);
        Analytics::send(QStringLiteral("d"));
        QTRY_COMPARE(AnalyticsSandbox::cache()->count(), 1);

        std::weak_ptr<SignalCache> oldCache = AnalyticsSandbox::cache();
        AnalyticsSandbox::signalManagerOf(AnalyticsManager::sharedManager())->appWillTerminate();
        QCOMPARE(m_case->log.linesWith(QStringLiteral("INFO: Saved Analytics cache ")).size(), 1);
        QVERIFY(
            m_case->log.linesWith(QStringLiteral("INFO: Saved Analytics cache ")).first().endsWith(" of 4 signals"));
        QList<SignalPostBody> saved = cacheFile().value_or(QList<SignalPostBody>());
        QStringList savedTypes;
        for (const SignalPostBody &record : saved)
            savedTypes.append(record.type);
        QCOMPARE(savedTypes, (QStringList{"a", "b", "c", "d"}));

        // The process ends: the manager goes and the stalled request fails.
        AnalyticsManager::terminate();
        down.reset();
        QTRY_VERIFY_WITH_TIMEOUT(oldCache.expired(), 10000);
        QCOMPARE(cacheFile().value_or(QList<SignalPostBody>()).size(), 4);

        // The next start posts those records first.
        Analytics::initializeWith(configuration(m_case->server.baseUrl()));
        Analytics::send(QStringLiteral("after"));
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        const QStringList first = typesOf(m_case->server.requests().first().jsonArray());
        QCOMPARE(QSet<QString>(first.begin(), first.end()), (QSet<QString>{"a", "b", "c", "d"}));
        // The answer to the first POST can take a while to be handled on a busy machine.
        QTRY_COMPARE_WITH_TIMEOUT(AnalyticsSandbox::cache()->count(), 1, 20000);
        Analytics::requestImmediateSync();
        QTRY_COMPARE(m_case->server.requests().size(), 2);
        QCOMPARE(typesOf(m_case->server.requests()[1].jsonArray()), QStringList{"after"});
    }

    void killedProcessLosesNothingOlderThanASecond()
    {
        QProcess child;
        child.setProgram(QStringLiteral(ANALYTICS_CACHE_CHILD));
        child.setArguments({m_case->server.baseUrl().toString()});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        QList<QPair<int, qint64>> cached; // record number, when its line arrived
        QByteArray pending;
        connect(&child, &QProcess::readyReadStandardOutput, this, [&] {
            pending += child.readAllStandardOutput();
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QByteArray line = pending.left(end);
                pending.remove(0, end + 1);
                if (line.startsWith("cached "))
                    cached.append({line.mid(7).toInt(), clock.elapsed()});
            }
        });
        child.start();
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(!cached.isEmpty() && clock.elapsed() - cached.first().second > 1600, 30000);
        child.kill(); // SIGKILL: no termination notification, no clean-up
        const qint64 killedAt = clock.elapsed();
        QVERIFY(child.waitForFinished());
        disconnect(&child, nullptr, this, nullptr);

        QSet<QString> mustSurvive;
        for (const auto &entry : cached) {
            if (entry.second < killedAt - 1150)
                mustSurvive.insert(QString::number(entry.first));
        }
        QVERIFY2(mustSurvive.size() >= 10, qPrintable(QString::number(mustSurvive.size())));

        setTimings(std::chrono::hours(1), std::chrono::milliseconds(100));
        Analytics::initializeWith(configuration(m_case->server.baseUrl()));
        const auto received = [&] {
            QSet<QString> numbers;
            for (const QJsonObject &record : m_case->server.records()) {
                if (record.value("type").toString() == QStringLiteral("tick"))
                    numbers.insert(record.value("payload").toObject().value("n").toString());
            }
            return numbers;
        };
        QTRY_VERIFY_WITH_TIMEOUT(received().contains(mustSurvive), 10000);
    }

    // An install's first start killed at any of these instants: the next start brings the install
    // report to the server exactly once.
    void installIsReportedOnceWhenTheFirstStartIsKilled_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("as its session begins") << "begun";
        QTest::newRow("once the report is cached") << "cached";
        QTest::newRow("quitting") << "quit";
    }

    void installIsReportedOnceWhenTheFirstStartIsKilled()
    {
        QFETCH(QString, when);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QStringLiteral(ANALYTICS_CACHE_CHILD),
                    {m_case->server.baseUrl().toString(), QStringLiteral("install"), when});
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), when == "quit" ? QProcess::NormalExit : QProcess::CrashExit);

        // The next start; nothing reached the server before it.
        QVERIFY(m_case->server.records().isEmpty());
        setTimings(std::chrono::milliseconds(0), std::chrono::milliseconds(50));
        // The child's app, whose statistics it kept.
        auto config =
            AnalyticsManagerConfiguration::create(QStringLiteral("KILL-TEST"), std::nullopt, m_case->server.baseUrl());
        config->setLogHandler(std::nullopt);
        Analytics::initializeWith(config);
        // Its session has begun (and reported the install if it had to) before the last signal.
        QTRY_VERIFY_WITH_TIMEOUT(SessionManager::shared().isDurationTimerRunning(), 10000);
        Analytics::send(QStringLiteral("done"));
        QTRY_VERIFY_WITH_TIMEOUT(typesOf(m_case->server.records()).contains("done"), 10000);
        QCOMPARE(typesOf(m_case->server.records()).count("Analytics.Acquisition.newInstallDetected"), 1);
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsEndToEnd)
#include "tst_analytics_endtoend.moc"
