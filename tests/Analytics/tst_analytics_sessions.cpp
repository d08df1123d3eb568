#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/ApplicationEvents.h"

#include "SignalRecording.h"

#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include <QtTest>

#include <limits>

using namespace analytics;
using Sessions = QList<SessionManager::StoredSession>;

Q_DECLARE_METATYPE(Sessions)

namespace {

const QDateTime kNow(QDate(2026, 5, 4), QTime(10, 0));

QList<qint64> durations(const Sessions &sessions)
{
    QList<qint64> result;
    for (const auto &session : sessions)
        result.append(session.durationInSeconds);
    return result;
}

} // namespace

// Session statistics: recording, retention, averages and days of use.
class TestAnalyticsSessions : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;
    std::unique_ptr<ovlin::ScopedFakeClock> m_clock;
    std::shared_ptr<AnalyticsManagerConfiguration> m_config;
    std::shared_ptr<ovlin::Defaults> m_suite;

    QStringList cachedTypes() const
    {
        QStringList types;
        for (const SignalPostBody &record : AnalyticsSandbox::cache()->waitingRecords())
            types.append(record.type);
        return types;
    }
    void storeSessions(const Sessions &sessions)
    {
        m_suite->setBytes("recentSessions", SessionManager::encodeSessions(sessions));
    }
    Sessions storedSessions() const
    {
        SessionManager::shared().waitForPendingWrites();
        const auto data = m_suite->bytesValue("recentSessions");
        return data ? SessionManager::decodeSessions(*data).value_or(Sessions()) : Sessions();
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
        m_clock = std::make_unique<ovlin::ScopedFakeClock>(kNow);
        m_config = m_case->configuration(QStringLiteral("SESSIONS"));
        m_config->setLogHandler(std::nullopt);
        m_config->setSendNewSessionBeganSignal(false);
        Analytics::initializeWith(m_config);
        m_suite = analyticsDefaults();
        QVERIFY(m_suite);
    }

    void cleanup()
    {
        m_suite.reset();
        m_config.reset();
        m_clock.reset();
        m_case.reset();
    }

    void firstStartDetectsNewInstall()
    {
        SessionManager &sessions = SessionManager::shared();
        sessions.beginSession();
        sessions.waitForPendingWrites();
        QCOMPARE(m_suite->stringValue("firstSessionDate"), std::optional<QString>("2026-05-04"));
        QCOMPARE(suiteStringList(*m_suite, "distinctDaysUsed"), QStringList{"2026-05-04"});
        QTRY_COMPARE(cachedTypes(), QStringList{"Analytics.Acquisition.newInstallDetected"});
        const SignalPostBody record = AnalyticsSandbox::cache()->waitingRecords().first();
        QCOMPARE(record.payload.value("Analytics.Acquisition.firstSessionDate"), QStringLiteral("2026-05-04"));
        QVERIFY(sessions.isDurationTimerRunning());
    }

    // Only an install's first session is kept from its first moment; a later one needs a second.
    void sessionShorterThanASecondIsNotStored()
    {
        SessionManager &sessions = SessionManager::shared();
        sessions.beginSession();
        ovlin::Clock::advanceMSecs(900);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{0});
        sessions.beginSession();
        ovlin::Clock::advanceMSecs(900);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{0});
        QCOMPARE(durations(storedSessions()), QList<qint64>{0});
        sessions.beginSession();
        QVERIFY(SignalRecording::settle().arrived);
        QCOMPARE(cachedTypes().count("Analytics.Acquisition.newInstallDetected"), 1);
    }

    // A first start that ends without saving (a crash, a kill) before its first minute is over: the
    // next start, a day later, is no new install.
    void firstStartEndingAbruptlyIsNoNewInstall_data()
    {
        QTest::addColumn<int>("runMSecs");
        QTest::newRow("at once") << 0;
        QTest::newRow("under a second") << 900;
        QTest::newRow("half a minute") << 30000;
        QTest::newRow("just under a minute") << 59999;
    }

    void firstStartEndingAbruptlyIsNoNewInstall()
    {
        QFETCH(int, runMSecs);
        const QString file = m_suite->filePath();
        SessionManager::shared().beginSession();
        // What a fresh process reads, without waiting for anything queued.
        ovlin::Defaults onDisk(file);
        QCOMPARE(onDisk.stringValue("firstSessionDate"), std::optional<QString>("2026-05-04"));
        const auto data = onDisk.bytesValue("recentSessions");
        QVERIFY(data);
        QCOMPARE(SessionManager::decodeSessions(*data).value_or(Sessions()).size(), 1);
        ovlin::Clock::advanceMSecs(runMSecs);

        // The process is gone without its quit path; the next start comes a day later.
        ovlin::Clock::advance(86400);
        SessionManager::resetSharedForTesting();
        ovlin::Defaults::resetSharedForTesting();
        m_suite = analyticsDefaults();
        QCOMPARE(SessionManager::shared().recentSessions().size(), 1);
        SessionManager::shared().beginSession();
        SessionManager::shared().waitForPendingWrites();
        QCOMPARE(ovlin::Defaults(file).stringValue("firstSessionDate"), std::optional<QString>("2026-05-04"));
        QVERIFY(SignalRecording::settle().arrived);
        QCOMPARE(cachedTypes().count("Analytics.Acquisition.newInstallDetected"), 1);
    }

    // A first start killed at any instant leaves one of these states on disk; the next start, a day
    // later, brings the install report into the cache exactly once (or not at all once it was
    // delivered), dated the first day.
    void installIsReportedOnceWhereverAStartWasKilled_data()
    {
        QTest::addColumn<QStringList>("onDisk");
        QTest::addColumn<int>("reports"); // in the cache once the next start settled
        QTest::newRow("nothing yet") << QStringList{} << 1;
        QTest::newRow("marked pending") << QStringList{"mark"} << 1;
        QTest::newRow("marked, first day stored") << QStringList{"mark", "day"} << 1;
        QTest::newRow("marked, session stored") << QStringList{"mark", "day", "session"} << 1;
        QTest::newRow("report cached, still marked") << QStringList{"mark", "day", "session", "report"} << 1;
        QTest::newRow("report cached") << QStringList{"day", "session", "report"} << 1;
        QTest::newRow("report delivered") << QStringList{"day", "session"} << 0;
    }

    void installIsReportedOnceWhereverAStartWasKilled()
    {
        QFETCH(QStringList, onDisk);
        QFETCH(int, reports);
        const QString firstDay = QStringLiteral("2026-05-03");
        if (onDisk.contains("mark"))
            m_suite->setString("pendingInstallReport", firstDay);
        if (onDisk.contains("day"))
            m_suite->setString("firstSessionDate", firstDay);
        if (onDisk.contains("session"))
            storeSessions({{kNow.addDays(-1), 0}});
        if (onDisk.contains("report")) {
            SignalPostBody record;
            record.type = QStringLiteral("Analytics.Acquisition.newInstallDetected");
            record.receivedAt = kNow.addDays(-1);
            record.payload.insert(QStringLiteral("Analytics.Acquisition.firstSessionDate"), firstDay);
            AnalyticsSandbox::cache()->push(record);
        }

        SessionManager::shared().beginSession();
        QVERIFY(SignalRecording::settle().arrived);
        const QList<SignalPostBody> cached = AnalyticsSandbox::cache()->waitingRecords();
        QStringList dates;
        for (const SignalPostBody &record : cached) {
            if (record.type == "Analytics.Acquisition.newInstallDetected")
                dates.append(record.payload.value("Analytics.Acquisition.firstSessionDate"));
        }
        const QString expectedDay = onDisk.contains("mark") || onDisk.contains("day") ? firstDay : "2026-05-04";
        QCOMPARE(dates, QStringList(reports, expectedDay));
        // On disk as a fresh process reads it.
        SessionManager::shared().waitForPendingWrites();
        ovlin::Defaults stored(m_suite->filePath());
        QVERIFY(!stored.contains("pendingInstallReport"));
        QCOMPARE(stored.stringValue("firstSessionDate"), std::optional<QString>(expectedDay));
        // The first session is kept from its first moment.
        const auto storedSessions = SessionManager::decodeSessions(stored.bytesValue("recentSessions").value_or(""));
        QCOMPARE(storedSessions.value_or(Sessions()).size(), 1);
    }

    // With a cache file that cannot be written, the install is reported once: its delivery ends the mark.
    void installIsReportedOnceWithoutACacheFile()
    {
        QVERIFY(QDir().mkpath(AnalyticsSandbox::cacheFilePath()));
        const auto signalManager = AnalyticsSandbox::signalManagerOf(AnalyticsManagerStorage::manager());
        const auto cache = AnalyticsSandbox::cache();
        for (int start = 0; start < 3; ++start) {
            SessionManager::resetSharedForTesting();
            ovlin::Defaults::resetSharedForTesting();
            m_suite = analyticsDefaults();
            SessionManager::shared().beginSession();
            QVERIFY(SignalRecording::settle().arrived);
            signalManager->sendCachedSignals();
            QTRY_VERIFY(cache->count() == 0 && cache->inFlightCount() == 0);
            QVERIFY(!ovlin::Defaults(m_suite->filePath()).contains("pendingInstallReport"));
            ovlin::Clock::advance(86400);
        }
        QStringList types;
        for (const QJsonObject &record : m_case->server.records())
            types.append(record.value("type").toString());
        QCOMPARE(types.count("Analytics.Acquisition.newInstallDetected"), 1);
        QVERIFY(QFileInfo(AnalyticsSandbox::cacheFilePath()).isDir());
    }

    void durationCountsActiveTimeOnly()
    {
        SessionManager &sessions = SessionManager::shared();
        sessions.beginSession();
        ovlin::Clock::advance(1);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{1});
        ovlin::Clock::advanceMSecs(2500);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{3});
        ApplicationEvents::notifyDidResignActive();
        QVERIFY(!sessions.isDurationTimerRunning());
        ovlin::Clock::advance(100);
        ApplicationEvents::notifyWillBecomeActive();
        QVERIFY(sessions.isDurationTimerRunning());
        ovlin::Clock::advance(1);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{4});
        QCOMPARE(storedSessions(), sessions.recentSessions());
        // A new session is a new entry.
        sessions.beginSession();
        ovlin::Clock::advance(2);
        sessions.updateSessionDuration();
        QCOMPARE(durations(sessions.recentSessions()), (QList<qint64>{4, 2}));
    }

    void timerTicksOnTheMainThread()
    {
        Timings timings = Timings::current();
        timings.sessionTimerInterval = std::chrono::milliseconds(10);
        Timings::setCurrent(timings);
        SessionManager &sessions = SessionManager::shared();
        sessions.beginSession();
        ovlin::Clock::advance(5);
        QTRY_COMPARE(durations(sessions.recentSessions()), QList<qint64>{5});
        ApplicationEvents::notifyDidResignActive();
        ovlin::Clock::advance(5);
        QTest::qWait(30);
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{5});
    }

    void nothingIsRecordedBeforeTheFirstSession()
    {
        SessionManager &sessions = SessionManager::shared();
        ApplicationEvents::notifyWillBecomeActive();
        ovlin::Clock::advance(5);
        sessions.updateSessionDuration();
        ApplicationEvents::notifyDidResignActive();
        sessions.waitForPendingWrites();
        QVERIFY(sessions.recentSessions().isEmpty());
        QVERIFY(!m_suite->contains("recentSessions"));
        sessions.beginSession();
        QTRY_COMPARE(cachedTypes(), QStringList{"Analytics.Acquisition.newInstallDetected"});
    }

    void retention_data()
    {
        QTest::addColumn<QList<int>>("ageDays");
        QTest::addColumn<QList<int>>("keptAgeDays");
        QTest::newRow("older than 90 days and exactly 90 days dropped")
            << QList<int>{100, 90, 89, 1} << QList<int>{89, 1};
        QTest::newRow("all dropped") << QList<int>{120, 91} << QList<int>();
        QTest::newRow("none dropped") << QList<int>{30, 2} << QList<int>{30, 2};
    }

    void retention()
    {
        QFETCH(QList<int>, ageDays);
        QFETCH(QList<int>, keptAgeDays);
        Sessions stored;
        for (int age : ageDays)
            stored.append({kNow.addSecs(-qint64(age) * 86400), 60});
        Sessions kept;
        for (int age : keptAgeDays)
            kept.append({kNow.addSecs(-qint64(age) * 86400), 60});
        storeSessions(stored);
        m_suite->setInteger("deletedSessionsCount", 5);
        m_suite->setString("firstSessionDate", "2025-01-01");
        const qint64 dropped = ageDays.size() - keptAgeDays.size();

        QCOMPARE(SessionManager::shared().recentSessions(), kept);
        QCOMPARE(storedSessions(), kept);
        QCOMPARE(m_suite->integerValue("deletedSessionsCount"), std::optional<qint64>(5 + dropped));

        // The next start does not count the same sessions again.
        SessionManager::resetSharedForTesting();
        QCOMPARE(SessionManager::shared().recentSessions(), kept);
        SessionManager::shared().waitForPendingWrites();
        QCOMPARE(m_suite->integerValue("deletedSessionsCount"), std::optional<qint64>(5 + dropped));

        SessionManager::shared().beginSession();
        SessionManager::shared().waitForPendingWrites();
        const bool newInstall = kept.isEmpty();
        QCOMPARE(m_suite->stringValue("firstSessionDate"),
                 std::optional<QString>(newInstall ? "2026-05-04" : "2025-01-01"));
    }

    void averages_data()
    {
        QTest::addColumn<QList<qint64>>("stored");
        QTest::addColumn<qint64>("average");
        QTest::addColumn<std::optional<qint64>>("previous");
        QTest::newRow("none") << QList<qint64>() << qint64(-1) << std::optional<qint64>();
        QTest::newRow("one") << QList<qint64>{42} << qint64(42) << std::optional<qint64>();
        QTest::newRow("three") << QList<qint64>{10, 20, 99} << qint64(15) << std::optional<qint64>(20);
        QTest::newRow("truncated") << QList<qint64>{7, 8, 1} << qint64(7) << std::optional<qint64>(8);
    }

    void averages()
    {
        QFETCH(QList<qint64>, stored);
        QFETCH(qint64, average);
        QFETCH(std::optional<qint64>, previous);
        Sessions sessions;
        for (int i = 0; i < stored.size(); ++i)
            sessions.append({kNow.addSecs(-3600 * (stored.size() - i)), stored[i]});
        storeSessions(sessions);
        QCOMPARE(SessionManager::shared().averageSessionSeconds(), average);
        QCOMPARE(SessionManager::shared().previousSessionSeconds(), previous);
    }

    void distinctDays_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("first day") << QStringList() << QStringList{"2026-05-04"};
        QTest::newRow("same day") << QStringList{"2026-05-01", "2026-05-04"} << QStringList{"2026-05-01", "2026-05-04"};
        QTest::newRow("new day") << QStringList{"2026-05-01"} << QStringList{"2026-05-01", "2026-05-04"};
        QTest::newRow("only the last is compared")
            << QStringList{"2026-05-04", "2026-05-05"} << QStringList{"2026-05-04", "2026-05-05", "2026-05-04"};
    }

    void distinctDays()
    {
        QFETCH(QStringList, stored);
        QFETCH(QStringList, expected);
        if (!stored.isEmpty())
            m_suite->setObject("distinctDaysUsed", stored);
        SessionManager::shared().waitForPendingWrites();
        QCOMPARE(suiteStringList(*m_suite, "distinctDaysUsed"), expected);
    }

    // Without an endpoint nothing is sent, so no session is begun and no clock runs.
    void noSessionClockWhileAnalyticsIsOff()
    {
        const auto off = AnalyticsManagerConfiguration::create(QStringLiteral("OFF"), std::nullopt, QUrl());
        off->setSessionID(QUuid::createUuid());
        ApplicationEvents::notifyWillBecomeActive();
        QVERIFY(!SessionManager::shared().isDurationTimerRunning());
        QVERIFY(SessionManager::shared().recentSessions().isEmpty());
    }

    // Switched off, the client still counts sessions (nothing wakes while the application is
    // inactive) but sends nothing.
    void sessionsAreCountedWhileSwitchedOff()
    {
        m_config->setAnalyticsDisabled(true);
        m_config->setSendNewSessionBeganSignal(true);
        m_config->setSessionID(QUuid::createUuid());
        SessionManager &sessions = SessionManager::shared();
        QVERIFY(sessions.isDurationTimerRunning());
        ovlin::Clock::advance(90);
        ApplicationEvents::notifyDidResignActive();
        QVERIFY(!sessions.isDurationTimerRunning());
        QCOMPARE(durations(storedSessions()), QList<qint64>{90});
        QCOMPARE(m_suite->stringValue("firstSessionDate"), std::optional<QString>("2026-05-04"));
        ovlin::Clock::advance(600);
        ApplicationEvents::notifyWillBecomeActive();
        ovlin::Clock::advance(30);
        sessions.applicationWillTerminate();
        QCOMPARE(durations(storedSessions()), QList<qint64>{120});
        QTest::qWait(50);
        QCOMPARE(AnalyticsSandbox::cache()->count(), 0);
        QVERIFY(m_case->server.requests().isEmpty());
    }

    // The first signal of a start already carries this start's day of use and dropped sessions.
    void firstSignalCountsThisStart_data()
    {
        QTest::addColumn<QStringList>("storedDays");
        QTest::addColumn<int>("days");
        QTest::addColumn<int>("daysLastMonth");
        QTest::newRow("first day of use") << QStringList() << 1 << 1;
        QTest::newRow("next day") << QStringList{"2026-05-03"} << 2 << 2;
        QTest::newRow("back after months") << QStringList{"2026-01-10"} << 2 << 1;
    }

    void firstSignalCountsThisStart()
    {
        QFETCH(QStringList, storedDays);
        QFETCH(int, days);
        QFETCH(int, daysLastMonth);
        if (!storedDays.isEmpty())
            m_suite->setObject("distinctDaysUsed", storedDays);
        storeSessions({{kNow.addDays(-100), 60}});
        m_suite->setInteger("deletedSessionsCount", 5);
        Analytics::send(QStringLiteral("app.launched"));
        QTRY_COMPARE(cachedTypes(), QStringList{"app.launched"});
        const Parameters payload = AnalyticsSandbox::cache()->waitingRecords().first().payload;
        QCOMPARE(payload.value("Analytics.Retention.distinctDaysUsed"), QString::number(days));
        QCOMPARE(payload.value("Analytics.Retention.distinctDaysUsedLastMonth"), QString::number(daysLastMonth));
        QCOMPARE(payload.value("Analytics.Retention.totalSessionsCount"), QStringLiteral("6"));
    }

    // Active time comes from the instants of becoming and stopping being active; the list is stored
    // when the application loses focus or quits.
    void activeTimeComesFromInstants()
    {
        SessionManager &sessions = SessionManager::shared();
        sessions.beginSession();
        ovlin::Clock::advance(90);
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{90});
        QCOMPARE(sessions.averageSessionSeconds(), qint64(90));
        // Stored as it began; its time comes with the next save.
        QCOMPARE(durations(storedSessions()), QList<qint64>{0});
        ApplicationEvents::notifyDidResignActive();
        QCOMPARE(durations(storedSessions()), QList<qint64>{90});
        ovlin::Clock::advance(600);
        ApplicationEvents::notifyWillBecomeActive();
        ovlin::Clock::advanceMSecs(30500);
        QCOMPARE(durations(sessions.recentSessions()), QList<qint64>{120});
        sessions.applicationWillTerminate();
        QCOMPARE(durations(storedSessions()), QList<qint64>{120});
        // The next session starts after the last one's full time.
        ovlin::Clock::advance(5);
        sessions.beginSession();
        ovlin::Clock::advance(7);
        QCOMPARE(durations(sessions.recentSessions()), (QList<qint64>{125, 7}));
        QCOMPARE(sessions.previousSessionSeconds(), std::optional<qint64>(125));
    }

    // A session counts active time from the state the host reported when it began: a run that starts
    // without the focus counts nothing until it gets it.
    void sessionStartsFromTheReportedState_data()
    {
        QTest::addColumn<QStringList>("reports"); // before the session begins
        QTest::addColumn<bool>("activeAtStart");
        QTest::addColumn<qint64>("seconds"); // stored after 58 s and a quit
        QTest::newRow("nothing reported") << QStringList{} << true << qint64(58);
        QTest::newRow("active") << QStringList{"active"} << true << qint64(58);
        QTest::newRow("not active") << QStringList{"resigned"} << false << qint64(0);
        QTest::newRow("left again") << QStringList{"active", "resigned"} << false << qint64(0);
        QTest::newRow("back again") << QStringList{"resigned", "active"} << true << qint64(58);
        QTest::newRow("not active, another session before")
            << QStringList{"session", "resigned", "session"} << false << qint64(0);
    }

    void sessionStartsFromTheReportedState()
    {
        QFETCH(QStringList, reports);
        QFETCH(bool, activeAtStart);
        QFETCH(qint64, seconds);
        storeSessions({{kNow.addDays(-1), 60}});
        SessionManager &sessions = SessionManager::shared();
        for (const QString &report : reports) {
            if (report == "session")
                sessions.beginSession();
            else if (report == "active")
                ApplicationEvents::notifyWillBecomeActive();
            else
                ApplicationEvents::notifyDidResignActive();
        }
        sessions.beginSession();
        QCOMPARE(sessions.isDurationTimerRunning(), activeAtStart);
        ovlin::Clock::advance(58);
        sessions.applicationWillTerminate();
        // A session under a second is not stored.
        QCOMPARE(durations(storedSessions()), seconds ? (QList<qint64>{60, seconds}) : QList<qint64>{60});
        // The focus comes later: from then on the time counts.
        ApplicationEvents::notifyWillBecomeActive();
        ovlin::Clock::advance(5);
        sessions.applicationWillTerminate();
        QCOMPARE(durations(storedSessions()), (QList<qint64>{60, seconds + 5}));
    }

    // Damaged statistics are refused or saturated, never summed past the integer range.
    void damagedStatisticsAreBounded_data()
    {
        QTest::addColumn<QList<qint64>>("stored");
        QTest::addColumn<int>("expired");
        QTest::addColumn<qint64>("storedDeleted");
        QTest::addColumn<qint64>("average");
        QTest::addColumn<qint64>("deleted");
        QTest::addColumn<qint64>("total");
        constexpr qint64 top = std::numeric_limits<qint64>::max();
        QTest::newRow("durations longer than any session")
            << QList<qint64>(1100, qint64(9e15)) << 0 << qint64(0) << qint64(-1) << qint64(0) << qint64(0);
        QTest::newRow("negative duration")
            << QList<qint64>{-5, 10} << 0 << qint64(0) << qint64(-1) << qint64(0) << qint64(0);
        QTest::newRow("longest durations") << QList<qint64>(3, SessionManager::maximumSessionSeconds) << 0 << qint64(0)
                                           << SessionManager::maximumSessionSeconds << qint64(0) << qint64(3);
        QTest::newRow("deleted count at the top") << QList<qint64>{10, 20} << 2 << top << qint64(10) << top << top;
        QTest::newRow("negative deleted count")
            << QList<qint64>{10, 20} << 1 << qint64(-7) << qint64(10) << qint64(1) << qint64(3);
    }

    void damagedStatisticsAreBounded()
    {
        QFETCH(QList<qint64>, stored);
        QFETCH(int, expired);
        QFETCH(qint64, storedDeleted);
        QFETCH(qint64, average);
        QFETCH(qint64, deleted);
        QFETCH(qint64, total);
        Sessions sessions;
        for (int i = 0; i < expired; ++i)
            sessions.append({kNow.addDays(-100 - i), 60});
        for (int i = 0; i < stored.size(); ++i)
            sessions.append({kNow.addSecs(-3600 - i), stored[i]});
        storeSessions(sessions);
        m_suite->setInteger("deletedSessionsCount", storedDeleted);
        SessionManager &manager = SessionManager::shared();
        QCOMPARE(manager.averageSessionSeconds(), average);
        manager.waitForPendingWrites();
        QCOMPARE(SessionManager::storedDeletedSessionsCount(*m_suite), deleted);
        QCOMPARE(manager.totalSessionsCount(), total);
    }

    void unreadableSessions_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("not json") << QByteArray("nonsense");
        QTest::newRow("missing member") << QByteArray("[{\"st\":1}]");
        QTest::newRow("fractional duration") << QByteArray("[{\"st\":1,\"dn\":1.5}]");
        QTest::newRow("text start") << QByteArray("[{\"st\":\"1\",\"dn\":1}]");
    }

    void unreadableSessions()
    {
        QFETCH(QByteArray, data);
        m_suite->setBytes("recentSessions", data);
        QVERIFY(SessionManager::shared().recentSessions().isEmpty());
        SessionManager::shared().waitForPendingWrites();
        QVERIFY(!m_suite->contains("deletedSessionsCount"));
        QCOMPARE(m_suite->bytesValue("recentSessions"), std::optional<QByteArray>(data));
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsSessions)
#include "tst_analytics_sessions.moc"
