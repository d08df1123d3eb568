#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/Hashing.h"

#include "AnalyticsTestSupport.h"
#include "SignalRecording.h"
#include "TestHttpServer.h"

#include "Platform/Uuid.h"

#include <QtTest>

#include <atomic>
#include <limits>

using namespace analytics;

namespace {
const QString kAppID = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");
}

// The facade's send path: prefixes, warnings, default parameters, silencing, sessions, durations.
class TestAnalyticsSendPath : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AnalyticsSandbox> m_sandbox;
    std::unique_ptr<TestHttpServer> m_server;
    LogRecorder m_log;
    bool m_expectRequests = false;

    std::shared_ptr<AnalyticsManagerConfiguration> makeConfiguration(const QString &appID = kAppID,
                                                                     const std::optional<QString> &salt = {})
    {
        auto config = AnalyticsManagerConfiguration::create(appID, salt, m_server->baseUrl());
        config->setLogHandler(m_log.handler(LogHandler::LogLevel::info));
        return config;
    }

    std::shared_ptr<AnalyticsManagerConfiguration> start()
    {
        auto config = makeConfiguration();
        Analytics::initializeWith(config);
        return config;
    }

    static QList<SignalPostBody> settle() { return SignalRecording::settle().records; }
    static QStringList types(const QList<SignalPostBody> &records) { return SignalRecording::types(records); }

    QStringList errorLines() const { return m_log.lines().filter(QRegularExpression(QStringLiteral("^ERROR: "))); }

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<AnalyticsSandbox>();
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        m_log.clear();
        m_expectRequests = false;
    }

    void cleanup()
    {
        m_sandbox.reset();
        if (!m_expectRequests)
            QVERIFY(m_server->requests().isEmpty());
        m_server.reset();
    }

    void signalNames_data()
    {
        QTest::addColumn<std::optional<QString>>("prefix");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("warning");
        const QString a =
            QStringLiteral("ERROR: Sending signal with reserved prefix 'Analytics.' will cause unexpected "
                           "behavior. Please use another prefix instead.");
        QTest::newRow("prefixed") << std::optional<QString>("App.") << "habit.created"
                                  << "App.habit.created"
                                  << "";
        QTest::newRow("prefix hides reserved prefix") << std::optional<QString>("App.") << "Analytics.Foo"
                                                      << "App.Analytics.Foo"
                                                      << "";
        QTest::newRow("reserved prefix") << std::optional<QString>() << "analytics.x"
                                         << "analytics.x" << a;
        QTest::newRow("reserved prefix, exact case") << std::optional<QString>() << "Analytics.Foo"
                                                     << "Analytics.Foo" << a;
        QTest::newRow("reserved name")
            << std::optional<QString>() << "Platform"
            << "Platform"
            << "ERROR: Sending signal with reserved name 'Platform' will cause unexpected behavior. Please use another "
               "name instead.";
        QTest::newRow("plain") << std::optional<QString>() << "app.launched"
                               << "app.launched"
                               << "";
    }

    void signalNames()
    {
        QFETCH(std::optional<QString>, prefix);
        QFETCH(QString, name);
        QFETCH(QString, sent);
        QFETCH(QString, warning);
        const auto config = start();
        config->setDefaultSignalPrefix(prefix);
        Analytics::send(name);
        const QList<SignalPostBody> records = settle();
        QCOMPARE(types(records), QStringList{sent});
        QCOMPARE(errorLines(), warning.isEmpty() ? QStringList() : QStringList{warning});
    }

    void parameterKeys_data()
    {
        QTest::addColumn<std::optional<QString>>("prefix");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("sentKey");
        QTest::addColumn<QString>("warning");
        const QString c = QStringLiteral("ERROR: Sending parameter with reserved key prefix 'Analytics.' will cause "
                                         "unexpected behavior. Please use another prefix instead.");
        QTest::newRow("prefixed") << std::optional<QString>("App.") << "level"
                                  << "App.level"
                                  << "";
        QTest::newRow("analytics key kept") << std::optional<QString>("App.") << "Analytics.Custom"
                                            << "Analytics.Custom" << c;
        QTest::newRow("lower case analytics key prefixed") << std::optional<QString>("App.") << "analytics.custom"
                                                           << "App.analytics.custom"
                                                           << "";
        QTest::newRow("reserved key")
            << std::optional<QString>() << "AppID"
            << "AppID"
            << "ERROR: Sending parameter with reserved key 'AppID' will cause unexpected behavior. Please use another "
               "key instead.";
        QTest::newRow("reserved key prefix") << std::optional<QString>() << "analytics.x"
                                             << "analytics.x" << c;
    }

    void parameterKeys()
    {
        QFETCH(std::optional<QString>, prefix);
        QFETCH(QString, key);
        QFETCH(QString, sentKey);
        QFETCH(QString, warning);
        const auto config = start();
        config->setDefaultParameterPrefix(prefix);
        Analytics::send(QStringLiteral("level.up"), {{key, QStringLiteral("7")}});
        const QList<SignalPostBody> records = settle();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().payload.value(sentKey), QStringLiteral("7"));
        if (sentKey != key)
            QVERIFY(!records.first().payload.contains(key));
        QCOMPARE(errorLines(), warning.isEmpty() ? QStringList() : QStringList{warning});
    }

    void warningsSwitchedOffStillReportDefaultParameters()
    {
        const auto config = start();
        config->setReservedParameterWarningsEnabled(false);
        config->setDefaultParameters([] { return Parameters{{QStringLiteral("appID"), QStringLiteral("x")}}; });
        Analytics::send(QStringLiteral("Platform"), {{QStringLiteral("locale"), QStringLiteral("y")}});
        settle();
        // Once for the signal, once for the marker.
        QCOMPARE(errorLines(),
                 QStringList(2, QStringLiteral("ERROR: Sending parameter with reserved key 'appID' will cause "
                                               "unexpected behavior. Please use another key instead.")));
    }

    void defaultParametersPerSignal()
    {
        const auto config = start();
        auto counter = std::make_shared<std::atomic<int>>(0);
        config->setDefaultParameters([counter] {
            return Parameters{{QStringLiteral("count"), QString::number(++*counter)},
                              {QStringLiteral("shared"), QStringLiteral("default")}};
        });
        config->setDefaultParameterPrefix(QStringLiteral("App."));
        Analytics::send(QStringLiteral("one"), {{QStringLiteral("shared"), QStringLiteral("caller")}});
        Analytics::send(QStringLiteral("two"));
        const QList<SignalPostBody> records = settle();
        QCOMPARE(records.size(), 2);
        QCOMPARE(records[0].payload.value("App.count"), QStringLiteral("1"));
        QCOMPARE(records[0].payload.value("App.shared"), QStringLiteral("caller"));
        QCOMPARE(records[1].payload.value("App.count"), QStringLiteral("2"));
        QCOMPARE(records[1].payload.value("App.shared"), QStringLiteral("default"));
    }

    void silenced_data()
    {
        QTest::addColumn<int>("reason");
        QTest::newRow("analytics disabled") << 0;
        QTest::newRow("design preview") << 1;
        QTest::newRow("design preview from the environment") << 2;
        QTest::newRow("no endpoint") << 3;
    }

    void silenced()
    {
        QFETCH(int, reason);
        auto config =
            reason == 3 ? AnalyticsManagerConfiguration::create(kAppID, std::nullopt, QUrl()) : makeConfiguration();
        config->setLogHandler(m_log.handler(LogHandler::LogLevel::debug));
        if (reason == 0)
            config->setAnalyticsDisabled(true);
        if (reason == 1)
            config->setSwiftUIPreviewMode(true);
        if (reason == 2)
            qputenv("XCODE_RUNNING_FOR_PREVIEWS", "1");
        Analytics::initializeWith(config);
        Analytics::send(QStringLiteral("Platform"), {{QStringLiteral("AppID"), QStringLiteral("1")}});
        Analytics::sendInternal(QStringLiteral("internal"));
        QTest::qWait(50);
        qunsetenv("XCODE_RUNNING_FOR_PREVIEWS");
        if (const auto cache = AnalyticsSandbox::cache()) {
            QCOMPARE(cache->count(), 0);
        }
        QCOMPARE(m_log.lines().filter(QStringLiteral("Sending")), QStringList());
        QCOMPARE(m_log.lines().filter(QStringLiteral("Process signal")), QStringList());
        // Nothing is cached on disk either, except for a switched-off client that still has its cache.
        if (reason != 0)
            QVERIFY(!QFile::exists(AnalyticsSandbox::cacheFilePath()));
    }

    void sessionStartSteps_data()
    {
        QTest::addColumn<bool>("stats");
        QTest::addColumn<bool>("signal");
        QTest::addColumn<QStringList>("expected");
        const QString install = QStringLiteral("Analytics.Acquisition.newInstallDetected");
        const QString started = QStringLiteral("Analytics.Session.started");
        QTest::newRow("both") << true << true << QStringList{install, started};
        QTest::newRow("statistics only") << true << false << QStringList{install};
        QTest::newRow("signal only") << false << true << QStringList{started};
        QTest::newRow("neither") << false << false << QStringList();
    }

    void sessionStartSteps()
    {
        QFETCH(bool, stats);
        QFETCH(bool, signal);
        QFETCH(QStringList, expected);
        const auto config = start();
        config->setSessionStatsEnabled(stats);
        config->setSendNewSessionBeganSignal(signal);
        const QUuid same = config->sessionID();
        config->setSessionID(same);
        QCOMPARE(config->sessionID(), same);
        QCOMPARE(types(settle()), expected);
        QCOMPARE(SessionManager::shared().isDurationTimerRunning(), stats);
    }

    void useBeforeInitializationTouchesNothing()
    {
        // A cache file left by an earlier run.
        const auto cache = SignalCache::open(std::nullopt);
        SignalPostBody record;
        record.receivedAt = QDateTime::fromMSecsSinceEpoch(1767225600000LL);
        record.type = QStringLiteral("left.over");
        record.isTestMode = QStringLiteral("false");
        cache->push(record);
        cache->backupCache();
        QFile file(AnalyticsSandbox::cacheFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        const QRegularExpression notInitialized(QStringLiteral("^Analytics is not initialized"));
        for (int i = 0; i < 4; ++i)
            QTest::ignoreMessage(QtCriticalMsg, notInitialized);
        Analytics::send(QStringLiteral("app.launched"));
        Analytics::sendInternal(QStringLiteral("internal"));
        AnalyticsManager::generateNewSession();
        Analytics::requestImmediateSync();
        QVERIFY(!AnalyticsManager::isInitialized());
        QVERIFY(!analyticsDefaults());
        QTest::qWait(20);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(cache->count(), 1);
    }

    void immediateSyncAtMostOncePerInterval_data()
    {
        QTest::addColumn<qint64>("afterMSecs");
        QTest::addColumn<bool>("granted");
        QTest::newRow("5 s later") << qint64(5000) << false;
        QTest::newRow("exactly 10 s later") << qint64(10000) << false;
        QTest::newRow("10.5 s later") << qint64(10500) << true;
    }

    void immediateSyncAtMostOncePerInterval()
    {
        QFETCH(qint64, afterMSecs);
        QFETCH(bool, granted);
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(10, 0)));
        start();
        const auto manager = AnalyticsManager::sharedManager();
        QVERIFY(manager->grantImmediateSync(ovlin::Clock::now()));
        ovlin::Clock::advanceMSecs(afterMSecs);
        QCOMPARE(manager->grantImmediateSync(ovlin::Clock::now()), granted);
    }

    void foregroundAfterBackground_data()
    {
        QTest::addColumn<std::optional<qint64>>("backgroundSeconds");
        QTest::addColumn<bool>("newSession");
        QTest::newRow("300 s keeps the session") << std::optional<qint64>(300) << false;
        QTest::newRow("301 s starts one") << std::optional<qint64>(301) << true;
        QTest::newRow("never in the background") << std::optional<qint64>() << true;
    }

    void foregroundAfterBackground()
    {
        QFETCH(std::optional<qint64>, backgroundSeconds);
        QFETCH(bool, newSession);
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(10, 0)));
        const auto config = start();
        config->setSessionStatsEnabled(false);
        config->setSendNewSessionBeganSignal(false);
        const auto manager = AnalyticsManager::sharedManager();
        const QUuid before = config->sessionID();
        if (backgroundSeconds) {
            manager->didEnterBackground();
            ovlin::Clock::advance(*backgroundSeconds);
        }
        manager->willEnterForeground();
        QCOMPARE(config->sessionID() != before, newSession);
    }

    void durations_data()
    {
        QTest::addColumn<bool>("includeBackground");
        QTest::addColumn<bool>("startWhileInactive");
        QTest::addColumn<QString>("expected");
        QTest::newRow("background left out") << false << false << "8.0";
        QTest::newRow("background included") << true << false << "18.0";
        QTest::newRow("started while inactive") << false << true << "-3.0";
    }

    void durations()
    {
        QFETCH(bool, includeBackground);
        QFETCH(bool, startWhileInactive);
        QFETCH(QString, expected);
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(10, 0)));
        start();
        if (startWhileInactive) {
            ApplicationEvents::notifyDidResignActive();
            ovlin::Clock::advance(4);
            Analytics::startDurationSignal(QStringLiteral("A"), {}, includeBackground);
            ovlin::Clock::advance(6);
            ApplicationEvents::notifyWillBecomeActive();
            ovlin::Clock::advance(1);
        } else {
            Analytics::startDurationSignal(QStringLiteral("A"), {}, includeBackground);
            ovlin::Clock::advance(3);
            ApplicationEvents::notifyDidResignActive();
            ovlin::Clock::advance(10);
            ApplicationEvents::notifyWillBecomeActive();
            ovlin::Clock::advance(5);
        }
        Analytics::stopAndSendDurationSignal(QStringLiteral("A"));
        const QList<SignalPostBody> records = settle();
        QCOMPARE(records.size(), 1);
        QCOMPARE(records.first().payload.value("Analytics.Signal.durationInSeconds"), expected);
    }

    void secondInitializationReplacesTheManager()
    {
        m_expectRequests = true;
        start();
        Analytics::send(QStringLiteral("first"));
        settle();
        Analytics::initializeWith(makeConfiguration(QStringLiteral("OTHER-APP")));
        Analytics::send(QStringLiteral("second"));
        const QList<SignalPostBody> records = settle();
        QCOMPARE(types(records), QStringList{"second"});
        QCOMPARE(records.first().appID, QStringLiteral("OTHER-APP"));
        // One cache per file: the new manager sends the old one's records at once.
        QTRY_COMPARE(m_server->requests().size(), 1);
        const QJsonArray sent = m_server->requests().first().jsonArray();
        QCOMPARE(sent.first().toObject().value("type").toString(), QStringLiteral("first"));
        QCOMPARE(sent.first().toObject().value("appID").toString(), kAppID);
    }

    void userIdentifiers()
    {
        const auto config = makeConfiguration(kAppID, QStringLiteral("salt"));
        Analytics::initializeWith(config);
        Analytics::send(QStringLiteral("custom"), {}, std::nullopt, QStringLiteral("alice"));
        Analytics::send(QStringLiteral("default"));
        QList<SignalPostBody> records = settle();
        const auto stored = analyticsDefaults()->stringValue(QStringLiteral("defaultUserIdentifier"));
        QVERIFY(stored);
        QVERIFY(ovlin::parseUuid(*stored));
        QCOMPARE(*stored, stored->toUpper());
        QCOMPARE(records[0].clientUser, sha256Hex(QStringLiteral("alice"), QStringLiteral("salt")));
        QCOMPARE(records[1].clientUser, sha256Hex(*stored, QStringLiteral("salt")));
        QCOMPARE(AnalyticsManager::sharedManager()->hashedDefaultUser(), sha256Hex(*stored, QStringLiteral("salt")));

        analyticsDefaults()->remove(QStringLiteral("defaultUserIdentifier"));
        AnalyticsManager::updateDefaultUserTo(QStringLiteral("bob"));
        Analytics::send(QStringLiteral("named"));
        records = settle();
        QCOMPARE(records.last().clientUser, sha256Hex(QStringLiteral("bob"), QStringLiteral("salt")));
        QVERIFY(!analyticsDefaults()->contains(QStringLiteral("defaultUserIdentifier")));
    }

    void floatValueJsonCannotCarry()
    {
        const auto config = start();
        Analytics::send(QStringLiteral("nan"), {}, std::numeric_limits<double>::quiet_NaN());
        Analytics::send(QStringLiteral("fine"), {}, 2.5);
        const QList<SignalPostBody> records = settle();
        QCOMPARE(types(records), (QStringList{"nan", "fine"}));
        QVERIFY(!records[0].floatValue);
        QCOMPARE(records[1].floatValue, std::optional<double>(2.5));
        QVERIFY(m_log.contains(QStringLiteral("ERROR: Dropping float value nan of signal nan: JSON cannot carry it")));
        QVERIFY(analyticsEncoder().encode(records));
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsSendPath)
#include "tst_analytics_sendpath.moc"
