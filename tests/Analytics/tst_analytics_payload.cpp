#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/DefaultSignalPayload.h"

#include "Support/AnalyticsTestSupport.h"

#include <QSysInfo>
#include <QtTest>

#include <atomic>
#include <ctime>
#include <mutex>
#include <thread>

using namespace analytics;

namespace {

// Switches the process's time zone for one scope.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const QByteArray &zone) : m_before(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~ScopedTimeZone()
    {
        qputenv("TZ", m_before);
        tzset();
    }

private:
    QByteArray m_before;
};

// Facts a host keeps for the provider, changed from the test's thread.
class HostState
{
public:
    void set(const DefaultSignalPayload::HostFacts &facts)
    {
        std::lock_guard lock(m_mutex);
        m_facts = facts;
    }
    DefaultSignalPayload::HostFacts get() const
    {
        std::lock_guard lock(m_mutex);
        return m_facts;
    }

private:
    mutable std::mutex m_mutex;
    DefaultSignalPayload::HostFacts m_facts;
};

QStringList hostValues(const Parameters &p)
{
    QStringList values;
    for (const char *key : {"Analytics.Device.screenResolutionWidth", "Analytics.Device.screenResolutionHeight",
                            "Analytics.Device.screenScaleFactor", "Analytics.UserPreference.colorScheme",
                            "Analytics.UserPreference.layoutDirection"})
        values.append(p.value(QString::fromLatin1(key)));
    return values;
}

} // namespace

Q_DECLARE_METATYPE(std::optional<analytics::DefaultSignalPayload::ScreenFacts>)

// The default payload. Runs with the locale de_AT.
class TestAnalyticsPayload : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AnalyticsSandbox> m_sandbox;
    std::shared_ptr<ovlin::Defaults> m_suite;

private Q_SLOTS:
    void init()
    {
        m_sandbox = std::make_unique<AnalyticsSandbox>();
        Analytics::initializeWith(
            AnalyticsManagerConfiguration::create(QStringLiteral("PAYLOAD"), std::nullopt, QUrl()));
        m_suite = analyticsDefaults();
    }

    void cleanup()
    {
        m_suite.reset();
        m_sandbox.reset();
    }

    void keysAndFixedValues()
    {
        const Parameters p = DefaultSignalPayload::parameters();
        // 48 fixed, 8 calendar, 5 retention entries; no accessibility or extension keys.
        QCOMPARE(p.size(), 61);
        QStringList unprefixed;
        for (const QString &key : p.keys()) {
            QVERIFY2(!key.startsWith("Analytics.Accessibility."), qPrintable(key));
            if (!key.startsWith("Analytics."))
                unprefixed.append(key);
        }
        QCOMPARE(unprefixed.size(), 19);
        for (const QString &key : unprefixed)
            QVERIFY2(Analytics::isReserved(key), qPrintable(key));

        const auto kernel = DefaultSignalPayload::parseVersion(QSysInfo::kernelVersion());
        const QString version = QStringLiteral("Linux %1.%2.%3").arg(kernel.major).arg(kernel.minor).arg(kernel.patch);
        const QList<QPair<QString, QString>> expected = {
            {"platform", "Linux"},
            {"systemVersion", version},
            {"Analytics.Device.systemMajorVersion", QStringLiteral("Linux %1").arg(kernel.major)},
            {"majorMinorSystemVersion", QStringLiteral("Linux %1.%2").arg(kernel.major).arg(kernel.minor)},
            {"appVersion", OVLIN_VERSION},
            {"Analytics.AppInfo.versionAndBuildNumber",
             QStringLiteral(OVLIN_VERSION " (build " OVLIN_BUILD_NUMBER ")")},
            {"isSimulator", "false"},
            {"Analytics.RunContext.isAppStore", "true"},
            {"architecture", QSysInfo::currentCpuArchitecture()},
            {"analyticsClientVersion", "2.12.0"},
            {"Analytics.SDK.nameAndVersion", "CppSDK 2.12.0"},
            {"Analytics.Device.orientation", "Fixed"},
            {"Analytics.Device.screenResolutionWidth", "N/A"},
            {"Analytics.UserPreference.colorScheme", "N/A"},
        };
        for (const auto &entry : expected)
            QCOMPARE(p.value(entry.first), entry.second);
        QVERIFY(!p.value("modelName").isEmpty());
    }

    void localeFacts()
    {
        const Parameters p = DefaultSignalPayload::parameters();
        QCOMPARE(p.value("locale"), QStringLiteral("de_AT"));
        QCOMPARE(p.value("Analytics.RunContext.locale"), QStringLiteral("de_AT"));
        QCOMPARE(p.value("region"), QStringLiteral("AT"));
        QCOMPARE(p.value("appLanguage"), QStringLiteral("de"));
        QCOMPARE(p.value("preferredLanguage"), QStringLiteral("de"));
        QCOMPARE(p.value("Analytics.UserPreference.language"), QStringLiteral("de"));
    }

    // The host's screen and preferences as they are when each payload is built, not as they were
    // when the client started.
    void hostFactsAreReadForEachPayload_data()
    {
        QTest::addColumn<std::optional<DefaultSignalPayload::ScreenFacts>>("screen");
        QTest::addColumn<QString>("colorScheme");
        QTest::addColumn<QString>("layoutDirection");
        QTest::addColumn<QStringList>("expected"); // width, height, scale, scheme, direction
        QTest::newRow("larger screen") << std::make_optional(DefaultSignalPayload::ScreenFacts{2560, 1440, 2})
                                       << "Light"
                                       << "leftToRight"
                                       << QStringList{"2560.0", "1440.0", "2.0", "Light", "leftToRight"};
        QTest::newRow("other scale") << std::make_optional(DefaultSignalPayload::ScreenFacts{1440, 900, 1.5}) << "Light"
                                     << "leftToRight" << QStringList{"1440.0", "900.0", "1.5", "Light", "leftToRight"};
        QTest::newRow("dark, right to left")
            << std::make_optional(DefaultSignalPayload::ScreenFacts{1440, 900, 2}) << "Dark"
            << "rightToLeft" << QStringList{"1440.0", "900.0", "2.0", "Dark", "rightToLeft"};
        QTest::newRow("screen gone") << std::optional<DefaultSignalPayload::ScreenFacts>() << "Light"
                                     << "leftToRight" << QStringList{"N/A", "N/A", "N/A", "Light", "leftToRight"};
    }

    void hostFactsAreReadForEachPayload()
    {
        QFETCH(std::optional<DefaultSignalPayload::ScreenFacts>, screen);
        QFETCH(QString, colorScheme);
        QFETCH(QString, layoutDirection);
        QFETCH(QStringList, expected);
        const auto host = std::make_shared<HostState>();
        host->set({DefaultSignalPayload::ScreenFacts{1440, 900, 2}, "Light", "leftToRight"});
        DefaultSignalPayload::setHostFactsProvider([host] { return host->get(); });
        QCOMPARE(hostValues(DefaultSignalPayload::parameters()),
                 (QStringList{"1440.0", "900.0", "2.0", "Light", "leftToRight"}));
        host->set({screen, colorScheme, layoutDirection});
        QCOMPARE(hostValues(DefaultSignalPayload::parameters()), expected);
    }

    // Payloads built on another thread ask the provider there, while the host changes its facts and
    // its provider.
    void hostFactsFromAnyThread()
    {
        const auto host = std::make_shared<HostState>();
        host->set({DefaultSignalPayload::ScreenFacts{800, 600, 1}, "Light", "leftToRight"});
        const auto askedOffMainThread = std::make_shared<std::atomic<bool>>(false);
        const auto provider = [host, askedOffMainThread, main = QThread::currentThread()] {
            if (QThread::currentThread() != main)
                *askedOffMainThread = true;
            return host->get();
        };
        DefaultSignalPayload::setHostFactsProvider(provider);
        QSet<QString> possible{"800.0"};
        for (int i = 0; i < 50; ++i)
            possible.insert(QStringLiteral("%1.0").arg(1000 + i));
        QStringList seen;
        std::thread builder([&seen] {
            for (int i = 0; i < 50; ++i)
                seen.append(DefaultSignalPayload::parameters().value("Analytics.Device.screenResolutionWidth"));
        });
        for (int i = 0; i < 50; ++i) {
            host->set({DefaultSignalPayload::ScreenFacts{double(1000 + i), 600, 1}, "Light", "leftToRight"});
            DefaultSignalPayload::setHostFactsProvider(provider);
        }
        builder.join();
        QVERIFY(*askedOffMainThread);
        for (const QString &width : seen)
            QVERIFY2(possible.contains(width), qPrintable(width));
        QCOMPARE(hostValues(DefaultSignalPayload::parameters()).first(), QStringLiteral("1049.0"));
    }

    void timeZones_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTC") << QByteArray("UTC") << "UTC+0";
        QTest::newRow("Newfoundland in winter") << QByteArray("America/St_Johns") << "UTC-3:30";
        QTest::newRow("Nepal") << QByteArray("Asia/Kathmandu") << "UTC+5:45";
        QTest::newRow("Berlin in winter") << QByteArray("Europe/Berlin") << "UTC+1";
        QTest::newRow("Honolulu") << QByteArray("Pacific/Honolulu") << "UTC-10";
    }

    void timeZones()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QString, text);
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 1, 15), QTime(12, 0), Qt::UTC));
        ScopedTimeZone timeZone(zone);
        QCOMPARE(DefaultSignalPayload::parameters().value("Analytics.Device.timeZone"), text);
    }

    void calendarOnSundayNight()
    {
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 5, 3), QTime(23, 30)));
        const Parameters p = DefaultSignalPayload::parameters();
        QCOMPARE(p.value("Analytics.Calendar.dayOfWeek"), QStringLiteral("7"));
        QCOMPARE(p.value("Analytics.Calendar.isWeekend"), QStringLiteral("true"));
        QCOMPARE(p.value("Analytics.Calendar.hourOfDay"), QStringLiteral("24"));
        QCOMPARE(p.value("Analytics.Calendar.dayOfMonth"), QStringLiteral("3"));
        QCOMPARE(p.value("Analytics.Calendar.dayOfYear"), QStringLiteral("123"));
        QCOMPARE(p.value("Analytics.Calendar.weekOfYear"), QStringLiteral("18"));
        QCOMPARE(p.value("Analytics.Calendar.monthOfYear"), QStringLiteral("5"));
        QCOMPARE(p.value("Analytics.Calendar.quarterOfYear"), QStringLiteral("2"));
    }

    void retentionWithoutSessions()
    {
        ovlin::ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(8, 0)));
        m_suite->setInteger("deletedSessionsCount", 4);
        SessionManager::shared().waitForPendingWrites();
        const Parameters p = DefaultSignalPayload::parameters();
        QCOMPARE(p.value("Analytics.Retention.averageSessionSeconds"), QStringLiteral("-1"));
        QCOMPARE(p.value("Analytics.Retention.totalSessionsCount"), QStringLiteral("4"));
        QVERIFY(!p.contains("Analytics.Retention.previousSessionSeconds"));
        QCOMPARE(p.value("Analytics.Acquisition.firstSessionDate"), QStringLiteral("2026-05-04"));
        QVERIFY(!m_suite->contains("firstSessionDate"));
        // This start is the first day of use.
        QCOMPARE(p.value("Analytics.Retention.distinctDaysUsed"), QStringLiteral("1"));
        QCOMPARE(p.value("Analytics.Retention.distinctDaysUsedLastMonth"), QStringLiteral("1"));
    }

    void retentionWithSessions()
    {
        const QDateTime now(QDate(2026, 5, 4), QTime(8, 0));
        ovlin::ScopedFakeClock clock(now);
        m_suite->setBytes("recentSessions", SessionManager::encodeSessions(
                                                {{now.addDays(-3), 10}, {now.addDays(-2), 20}, {now.addDays(-1), 99}}));
        m_suite->setString("firstSessionDate", "2026-01-02");
        const Parameters p = DefaultSignalPayload::parameters();
        QCOMPARE(p.value("Analytics.Retention.averageSessionSeconds"), QStringLiteral("15"));
        QCOMPARE(p.value("Analytics.Retention.previousSessionSeconds"), QStringLiteral("20"));
        QCOMPARE(p.value("Analytics.Retention.totalSessionsCount"), QStringLiteral("3"));
        QCOMPARE(p.value("Analytics.Acquisition.firstSessionDate"), QStringLiteral("2026-01-02"));
        QCOMPARE(p.size(), 62);
    }

    void daysUsedLastMonthInLocalTime_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("localNow");
        QTest::addColumn<QString>("lastMonth");
        // 05:00 on 31 March in UTC+14 is still 30 March in UTC: a cut-off taken in UTC would be a day early.
        QTest::newRow("far east") << QByteArray("Pacific/Kiritimati") << QDateTime(QDate(2026, 3, 31), QTime(5, 0))
                                  << "2";
        // 22:00 on 30 March in UTC-11 is already 31 March in UTC: a cut-off taken in UTC would be a day late.
        QTest::newRow("far west") << QByteArray("Pacific/Pago_Pago") << QDateTime(QDate(2026, 3, 30), QTime(22, 0))
                                  << "3";
    }

    void daysUsedLastMonthInLocalTime()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, localNow);
        QFETCH(QString, lastMonth);
        ScopedTimeZone timeZone(zone);
        const QDateTime now(localNow.date(), localNow.time());
        ovlin::ScopedFakeClock clock(now);
        // After this start's own day is recorded.
        SessionManager::shared().waitForPendingWrites();
        m_suite->setObject("distinctDaysUsed", QStringList{"2026-02-28", "2026-03-01", "2026-03-30"});
        const Parameters p = DefaultSignalPayload::parameters();
        QCOMPARE(p.value("Analytics.Retention.distinctDaysUsedLastMonth"), lastMonth);
    }

    void kernelVersions_data()
    {
        QTest::addColumn<QString>("release");
        QTest::addColumn<QList<int>>("version");
        QTest::newRow("four parts") << "5.15.133.1-microsoft-standard-WSL2" << QList<int>{5, 15, 133};
        QTest::newRow("two parts") << "6.8-rc1" << QList<int>{6, 8, 0};
        QTest::newRow("nonsense") << "unknown" << QList<int>{0, 0, 0};
    }

    void kernelVersions()
    {
        QFETCH(QString, release);
        QFETCH(QList<int>, version);
        const auto parsed = DefaultSignalPayload::parseVersion(release);
        QCOMPARE((QList<int>{parsed.major, parsed.minor, parsed.patch}), version);
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsPayload)
#include "tst_analytics_payload.moc"
