#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/Hashing.h"

#include "SignalRecording.h"
#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include "Base/Uuid.h"

#include <QtTest>

#include <atomic>
#include <limits>

using namespace analytics;

namespace {
const QString kAppID = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");

// Adds fixed entries and notes what it was asked, from whichever thread asks.
class FixedEnricher : public SignalEnricher
{
public:
    explicit FixedEnricher(Parameters parameters) : m_parameters(std::move(parameters)) {}

    Parameters enrich(const QString &signalType, const std::optional<QString> &customUserID,
                      std::optional<double> floatValue) override
    {
        std::lock_guard lock(m_mutex);
        m_calls.append(QStringList{signalType, customUserID.value_or(QStringLiteral("-")),
                                   floatValue ? decimalText(*floatValue) : QStringLiteral("-")}
                           .join(QLatin1Char(' ')));
        return m_parameters;
    }

    QStringList calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    const Parameters m_parameters;
    mutable std::mutex m_mutex;
    QStringList m_calls;
};
} // namespace

// The facade's send path: prefixes, warnings, default parameters, silencing, sessions, durations.
class TestAnalyticsSendPath : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;
    bool m_expectRequests = false;

    std::shared_ptr<AnalyticsManagerConfiguration> start()
    {
        auto config = m_case->configuration(kAppID);
        Analytics::initializeWith(config);
        return config;
    }

    static QList<SignalPostBody> settle() { return SignalRecording::settle().records; }
    static QStringList types(const QList<SignalPostBody> &records) { return SignalRecording::types(records); }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
        m_expectRequests = false;
    }

    void cleanup()
    {
        m_case->sandbox.reset();
        if (!m_expectRequests)
            QVERIFY(m_case->server.requests().isEmpty());
        m_case.reset();
    }

    // Signal names (key false) and parameter keys (key true) under a default prefix and the reserved ones.
    void reservedNames_data()
    {
        QTest::addColumn<bool>("key");
        QTest::addColumn<std::optional<QString>>("prefix");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("warning");
        const std::optional<QString> app("App."), none;
        const QString a =
            QStringLiteral("ERROR: Sending signal with reserved prefix 'Analytics.' will cause unexpected "
                           "behavior. Please use another prefix instead.");
        const QString c = QStringLiteral("ERROR: Sending parameter with reserved key prefix 'Analytics.' will cause "
                                         "unexpected behavior. Please use another prefix instead.");
        QTest::newRow("name prefixed") << false << app << "habit.created"
                                       << "App.habit.created"
                                       << "";
        QTest::newRow("name prefix hides reserved prefix") << false << app << "Analytics.Foo"
                                                           << "App.Analytics.Foo"
                                                           << "";
        QTest::newRow("name reserved prefix") << false << none << "analytics.x"
                                              << "analytics.x" << a;
        QTest::newRow("name reserved prefix, exact case") << false << none << "Analytics.Foo"
                                                          << "Analytics.Foo" << a;
        QTest::newRow("reserved name")
            << false << none << "Platform"
            << "Platform"
            << "ERROR: Sending signal with reserved name 'Platform' will cause unexpected behavior. Please use another "
               "name instead.";
        QTest::newRow("plain name") << false << none << "app.launched"
                                    << "app.launched"
                                    << "";
        QTest::newRow("key prefixed") << true << app << "level"
                                      << "App.level"
                                      << "";
        QTest::newRow("analytics key kept") << true << app << "Analytics.Custom"
                                            << "Analytics.Custom" << c;
        QTest::newRow("lower case analytics key prefixed") << true << app << "analytics.custom"
                                                           << "App.analytics.custom"
                                                           << "";
        QTest::newRow("reserved key")
            << true << none << "AppID"
            << "AppID"
            << "ERROR: Sending parameter with reserved key 'AppID' will cause unexpected behavior. Please use another "
               "key instead.";
        QTest::newRow("reserved key prefix") << true << none << "analytics.x"
                                             << "analytics.x" << c;
    }

    void reservedNames()
    {
        QFETCH(bool, key);
        QFETCH(std::optional<QString>, prefix);
        QFETCH(QString, name);
        QFETCH(QString, sent);
        QFETCH(QString, warning);
        const auto config = start();
        if (key) {
            config->setDefaultParameterPrefix(prefix);
            Analytics::send(QStringLiteral("level.up"), {{name, QStringLiteral("7")}});
        } else {
            config->setDefaultSignalPrefix(prefix);
            Analytics::send(name);
        }
        const QList<SignalPostBody> records = settle();
        QCOMPARE(records.size(), 1);
        if (!key)
            QCOMPARE(records.first().type, sent);
        else
            QCOMPARE(records.first().payload.value(sent), QStringLiteral("7"));
        if (key && sent != name)
            QVERIFY(!records.first().payload.contains(name));
        QCOMPARE(m_case->log.errors(), warning.isEmpty() ? QStringList() : QStringList{warning});
    }

    void warningsSwitchedOffStillReportDefaultParameters()
    {
        const auto config = start();
        config->setReservedParameterWarningsEnabled(false);
        config->setDefaultParameters([] { return Parameters{{QStringLiteral("appID"), QStringLiteral("x")}}; });
        Analytics::send(QStringLiteral("Platform"), {{QStringLiteral("locale"), QStringLiteral("y")}});
        settle();
        // Once for the signal, once for the marker.
        QCOMPARE(m_case->log.errors(),
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

    // The default payload, then the enrichers in list order, then the caller's parameters (the configured
    // default parameters among them): a later source wins a key.
    void metadataEnrichers()
    {
        const auto config = start();
        config->setDefaultParameters([] {
            return Parameters{{QStringLiteral("fromDefault"), QStringLiteral("default")},
                              {QStringLiteral("shared"), QStringLiteral("default")}};
        });
        const auto first =
            std::make_shared<FixedEnricher>(Parameters{{QStringLiteral("shared"), QStringLiteral("first")},
                                                       {QStringLiteral("platform"), QStringLiteral("first")},
                                                       {QStringLiteral("enriched"), QStringLiteral("first")},
                                                       {QStringLiteral("onlyFirst"), QStringLiteral("first")}});
        const auto second =
            std::make_shared<FixedEnricher>(Parameters{{QStringLiteral("enriched"), QStringLiteral("second")},
                                                       {QStringLiteral("caller"), QStringLiteral("second")}});
        config->setMetadataEnrichers({first, nullptr, second});

        Analytics::send(QStringLiteral("one"), {{QStringLiteral("caller"), QStringLiteral("caller")}}, 2.5,
                        QStringLiteral("alice"));
        Analytics::send(QStringLiteral("two"));
        const QList<SignalPostBody> records = settle();
        QCOMPARE(records.size(), 2);
        const Parameters expectedFirst{{QStringLiteral("fromDefault"), QStringLiteral("default")},
                                       {QStringLiteral("shared"), QStringLiteral("default")},
                                       {QStringLiteral("platform"), QStringLiteral("first")},
                                       {QStringLiteral("enriched"), QStringLiteral("second")},
                                       {QStringLiteral("onlyFirst"), QStringLiteral("first")},
                                       {QStringLiteral("caller"), QStringLiteral("caller")}};
        for (auto it = expectedFirst.cbegin(); it != expectedFirst.cend(); ++it)
            QCOMPARE(records[0].payload.value(it.key()), it.value());
        QCOMPARE(records[1].payload.value(QStringLiteral("caller")), QStringLiteral("second"));

        const QStringList asked{records[0].type + QStringLiteral(" alice 2.5"),
                                records[1].type + QStringLiteral(" - -")};
        // The settling marker is asked about last.
        QCOMPARE(first->calls().mid(0, 2), asked);
        QCOMPARE(second->calls().mid(0, 2), asked);
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
        auto config = reason == 3 ? AnalyticsManagerConfiguration::create(kAppID, std::nullopt, QUrl())
                                  : m_case->configuration(kAppID);
        config->setLogHandler(m_case->log.handler(LogHandler::LogLevel::debug));
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
        QCOMPARE(m_case->log.lines().filter(QStringLiteral("Sending")), QStringList());
        QCOMPARE(m_case->log.lines().filter(QStringLiteral("Process signal")), QStringList());
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
        Analytics::initializeWith(m_case->configuration(QStringLiteral("OTHER-APP")));
        Analytics::send(QStringLiteral("second"));
        const QList<SignalPostBody> records = settle();
        QCOMPARE(types(records), QStringList{"second"});
        QCOMPARE(records.first().appID, QStringLiteral("OTHER-APP"));
        // One cache per file: the new manager sends the old one's records at once.
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        const QJsonArray sent = m_case->server.requests().first().jsonArray();
        QCOMPARE(sent.first().toObject().value("type").toString(), QStringLiteral("first"));
        QCOMPARE(sent.first().toObject().value("appID").toString(), kAppID);
    }

    void userIdentifiers()
    {
        const auto config = m_case->configuration(kAppID, QStringLiteral("salt"));
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
        QVERIFY(m_case->log.contains(
            QStringLiteral("ERROR: Dropping float value nan of signal nan: JSON cannot carry it")));
        QVERIFY(analyticsEncoder().encode(records));
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsSendPath)
#include "tst_analytics_sendpath.moc"
