#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/AnalyticsManagerObjCProxy.h"
#include "Analytics/Hashing.h"

#include "SignalRecording.h"
#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include "Base/Uuid.h"

#include <QtTest>

using namespace analytics;

namespace {

const QString kAppID = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");

} // namespace

// The plain-value wrappers: each forwards to the facade and shares the one configuration.
class TestAnalyticsWrappers : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;

    AnalyticsManagerConfigurationObjCProxy start(const QString &salt = QStringLiteral("pepper"))
    {
        AnalyticsManagerConfigurationObjCProxy proxy(kAppID, salt, m_case->server.baseUrl());
        proxy.analyticsConfiguration()->setLogHandler(m_case->log.handler(LogHandler::LogLevel::info));
        AnalyticsManagerObjCProxy::initializeWith(proxy);
        return proxy;
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
    }

    void cleanup()
    {
        m_case->sandbox.reset();
        QVERIFY(m_case->server.requests().isEmpty());
        m_case.reset();
    }

    void initialisers_data()
    {
        QTest::addColumn<int>("form");
        QTest::addColumn<QString>("salt");
        QTest::addColumn<QUrl>("baseURL");
        const QUrl given(QStringLiteral("http://127.0.0.1:9/"));
        const QUrl fallback = AnalyticsManagerConfiguration::defaultIngestEndpoint();
        QTest::newRow("app, salt and base URL") << 0 << "salt" << given;
        QTest::newRow("app and base URL") << 1 << "" << given;
        QTest::newRow("app and salt") << 2 << "salt" << fallback;
        QTest::newRow("app only") << 3 << "" << fallback;
        QTest::newRow("absent salt and base URL") << 4 << "" << fallback;
    }

    void initialisers()
    {
        QFETCH(int, form);
        QFETCH(QString, salt);
        QFETCH(QUrl, baseURL);
        const QUrl given(QStringLiteral("http://127.0.0.1:9/"));
        const QString appID = QStringLiteral("APP");
        const std::unique_ptr<AnalyticsManagerConfigurationObjCProxy> proxy(
            form == 0   ? new AnalyticsManagerConfigurationObjCProxy(appID, QStringLiteral("salt"), given)
            : form == 1 ? new AnalyticsManagerConfigurationObjCProxy(appID, given)
            : form == 2 ? new AnalyticsManagerConfigurationObjCProxy(appID, QStringLiteral("salt"))
            : form == 3 ? new AnalyticsManagerConfigurationObjCProxy(appID)
                        : new AnalyticsManagerConfigurationObjCProxy(appID, std::nullopt, std::nullopt));
        const auto config = proxy->analyticsConfiguration();
        QCOMPARE(config->analyticsAppID(), appID);
        QCOMPARE(config->salt(), salt);
        QCOMPARE(config->apiBaseURL(), baseURL);
        QVERIFY(!config->namespace_());
        QVERIFY(proxy->sendNewSessionBeganSignal());
        QVERIFY(!proxy->testMode());
        QVERIFY(!proxy->analyticsDisabled());
    }

    void initializeAndTerminate()
    {
        const AnalyticsManagerConfigurationObjCProxy proxy = start();
        QVERIFY(AnalyticsManager::isInitialized());
        QCOMPARE(AnalyticsManager::sharedManager()->configuration(), proxy.analyticsConfiguration());
        AnalyticsManagerObjCProxy::terminate();
        QVERIFY(!AnalyticsManager::isInitialized());
    }

    void sendForms()
    {
        const AnalyticsManagerConfigurationObjCProxy proxy = start();
        // The checked path: the signal prefix applies and reserved names are warned about.
        proxy.analyticsConfiguration()->setDefaultSignalPrefix(QStringLiteral("App."));
        AnalyticsManagerObjCProxy::send(QStringLiteral("a"), QStringLiteral("frank"), {{"k", "1"}});
        AnalyticsManagerObjCProxy::send(QStringLiteral("b"), std::nullopt, {{"k", "2"}});
        AnalyticsManagerObjCProxy::send(QStringLiteral("c"), {{"k", "3"}});
        AnalyticsManagerObjCProxy::send(QStringLiteral("d"));
        AnalyticsManagerObjCProxy::send(QStringLiteral("e"), {{"appID", "x"}});
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(SignalRecording::types(settled.records), (QStringList{"App.a", "App.b", "App.c", "App.d", "App.e"}));
        const QString defaultUser = settled.marker.clientUser;
        QCOMPARE(settled.records[0].clientUser, sha256Hex(QStringLiteral("frank"), QStringLiteral("pepper")));
        QCOMPARE(settled.records[1].clientUser, defaultUser);
        QCOMPARE(settled.records[2].clientUser, defaultUser);
        QCOMPARE(SignalRecording::ownParameters(settled.records[0], settled.marker), (Parameters{{"k", "1"}}));
        QCOMPARE(SignalRecording::ownParameters(settled.records[1], settled.marker), (Parameters{{"k", "2"}}));
        QCOMPARE(SignalRecording::ownParameters(settled.records[2], settled.marker), (Parameters{{"k", "3"}}));
        QCOMPARE(SignalRecording::ownParameters(settled.records[3], settled.marker), Parameters());
        for (const SignalPostBody &record : settled.records)
            QVERIFY(!record.floatValue);
        QCOMPARE(m_case->log.linesWith(QStringLiteral("reserved key 'appID'")).size(), 1);
    }

    void defaultUser()
    {
        start();
        AnalyticsManagerObjCProxy::updateDefaultUserTo(QStringLiteral("erin"));
        AnalyticsManagerObjCProxy::send(QStringLiteral("named"));
        // The default user is read when the signal is composed, shortly after the call.
        SignalRecording::settle();
        AnalyticsManagerObjCProxy::updateDefaultUserTo(std::nullopt);
        AnalyticsManagerObjCProxy::send(QStringLiteral("stored"));
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 2);
        QCOMPARE(settled.records[0].clientUser, sha256Hex(QStringLiteral("erin"), QStringLiteral("pepper")));
        const auto stored = analyticsDefaults()->stringValue(QStringLiteral("defaultUserIdentifier"));
        QVERIFY(stored);
        QCOMPARE(settled.records[1].clientUser, sha256Hex(*stored, QStringLiteral("pepper")));
    }

    void generateNewSession()
    {
        const AnalyticsManagerConfigurationObjCProxy proxy = start();
        proxy.analyticsConfiguration()->setSessionStatsEnabled(false);
        const QUuid before = proxy.analyticsConfiguration()->sessionID();
        AnalyticsManagerObjCProxy::generateNewSession();
        const QUuid after = proxy.analyticsConfiguration()->sessionID();
        QVERIFY(after != before);
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(SignalRecording::types(settled.records), QStringList{"Analytics.Session.started"});
        QCOMPARE(settled.records.first().sessionID, ovlin::uuidText(after));
    }

    void disablingAfterInitialisation()
    {
        AnalyticsManagerConfigurationObjCProxy proxy = start();
        proxy.setAnalyticsDisabled(true);
        AnalyticsManagerObjCProxy::send(QStringLiteral("dropped"));
        proxy.setAnalyticsDisabled(false);
        AnalyticsManagerObjCProxy::send(QStringLiteral("kept"));
        QCOMPARE(SignalRecording::types(SignalRecording::settle().records), QStringList{"kept"});
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsWrappers)
#include "tst_analytics_wrappers.moc"
