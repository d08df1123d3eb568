#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/AnalyticsError.h"
#include "Analytics/Hashing.h"
#include "Analytics/SignalPostBody.h"

#include "Support/AnalyticsTestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>
#include <QtTest>

#include <cmath>
#include <limits>

using namespace analytics;

namespace {

SignalPostBody sampleRecord()
{
    SignalPostBody record;
    record.receivedAt = QDateTime(QDate(2025, 1, 31), QTime(9, 5, 7, 450), QTimeZone::utc());
    record.appID = QStringLiteral("7A3C2E4B-0000-4000-8000-000000000001");
    record.clientUser = sha256Hex(QStringLiteral("user"));
    record.sessionID = QStringLiteral("5F1E6C2A-1111-4111-8111-111111111111");
    record.type = QStringLiteral("app.launched");
    record.payload = {{QStringLiteral("a"), QStringLiteral("1")}, {QStringLiteral("b"), QStringLiteral("x y")}};
    record.isTestMode = QStringLiteral("false");
    return record;
}

QJsonObject wireObject(const SignalPostBody &record)
{
    return record.toJson(SignalPostBody::DateForm::wire).value_or(QJsonObject());
}

} // namespace

// Records, their two encodings, hashing, the suite name, the configuration and the log handler.
class TestAnalyticsRecords : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void wireEncodingKeysAndValues_data()
    {
        QTest::addColumn<std::optional<double>>("floatValue");
        QTest::addColumn<int>("keyCount");
        QTest::newRow("no float value") << std::optional<double>() << 7;
        QTest::newRow("float value zero") << std::optional<double>(0.0) << 8;
        QTest::newRow("float value") << std::optional<double>(12.5) << 8;
    }

    void wireEncodingKeysAndValues()
    {
        QFETCH(std::optional<double>, floatValue);
        QFETCH(int, keyCount);
        SignalPostBody record = sampleRecord();
        record.floatValue = floatValue;
        const QJsonObject object = wireObject(record);
        QCOMPARE(object.size(), keyCount);
        QCOMPARE(object.value("receivedAt").toString(), QStringLiteral("2025-01-31T09:05:07+0000"));
        QCOMPARE(object.value("isTestMode"), QJsonValue(QStringLiteral("false")));
        QCOMPARE(object.value("payload").toObject().value("b").toString(), QStringLiteral("x y"));
        QCOMPARE(object.contains("floatValue"), floatValue.has_value());
        if (floatValue)
            QCOMPARE(object.value("floatValue").toDouble(), *floatValue);
    }

    void wireDateIsUtcWhateverTheZone_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::newRow("Kathmandu") << QByteArray("Asia/Kathmandu");
        QTest::newRow("Honolulu") << QByteArray("Pacific/Honolulu");
    }

    void wireDateIsUtcWhateverTheZone()
    {
        QFETCH(QByteArray, zone);
        const QByteArray before = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        SignalPostBody record = sampleRecord();
        record.receivedAt = QDateTime(QDate(2025, 3, 9), QTime(23, 59, 59, 900), QTimeZone::utc()).toLocalTime();
        const QString text = wireObject(record).value("receivedAt").toString();
        qputenv("TZ", before);
        tzset();
        QCOMPARE(text, QStringLiteral("2025-03-09T23:59:59+0000"));
    }

    void wireRoundTripDropsFractions()
    {
        SignalPostBody record = sampleRecord();
        record.floatValue = 3.25;
        const auto data = analyticsEncoder().encode({record});
        QVERIFY(data);
        QVERIFY(!data->contains('\n'));
        const auto decoded = analyticsEncoder().decode(*data);
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), 1);
        SignalPostBody expected = record;
        expected.receivedAt = record.receivedAt.addMSecs(-450);
        QVERIFY(decoded->first() == expected);
    }

    void cacheRoundTripKeepsEverything()
    {
        SignalPostBody first = sampleRecord();
        SignalPostBody second = sampleRecord();
        second.type = QStringLiteral("habit.created");
        second.floatValue = -0.125;
        second.payload.clear();
        const SignalEncoder encoder(SignalPostBody::DateForm::cache);
        const auto data = encoder.encode({first, second});
        QVERIFY(data);
        const QJsonArray array = QJsonDocument::fromJson(*data).array();
        QCOMPARE(array.size(), 2);
        // Seconds since 2001-01-01 UTC as a number.
        QCOMPARE(array[0].toObject().value("receivedAt").toDouble(), 760007107.45);
        QCOMPARE(array[1].toObject().value("payload").toObject(), QJsonObject());
        const auto decoded = encoder.decode(*data);
        QVERIFY(decoded);
        QVERIFY(decoded->at(0) == first);
        QVERIFY(decoded->at(1) == second);
    }

    void decodingRejectsBadObjects_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<bool>("valid");
        const QByteArray base =
            R"("receivedAt":"2025-01-31T09:05:07+0000","appID":"A","clientUser":"C","sessionID":"S","type":"t","payload":{"k":"v"})";
        QTest::newRow("complete") << QByteArray("{" + base + R"(,"isTestMode":"true"})") << true;
        QTest::newRow("null float value")
            << QByteArray("{" + base + R"(,"isTestMode":"true","floatValue":null})") << true;
        QTest::newRow("boolean test mode") << QByteArray("{" + base + R"(,"isTestMode":true})") << false;
        QTest::newRow("missing test mode") << QByteArray("{" + base + "}") << false;
        QTest::newRow("number in payload")
            << QByteArray(
                   R"({"receivedAt":"2025-01-31T09:05:07+0000","appID":"A","clientUser":"C","sessionID":"S","type":"t","payload":{"k":1},"isTestMode":"false"})")
            << false;
        QTest::newRow("bad date")
            << QByteArray(
                   R"({"receivedAt":"31.01.2025","appID":"A","clientUser":"C","sessionID":"S","type":"t","payload":{},"isTestMode":"false"})")
            << false;
    }

    void decodingRejectsBadObjects()
    {
        QFETCH(QByteArray, json);
        QFETCH(bool, valid);
        const auto record =
            SignalPostBody::fromJson(QJsonDocument::fromJson(json).object(), SignalPostBody::DateForm::wire);
        QCOMPARE(record.has_value(), valid);
    }

    void nonFiniteFloatCannotBeEncoded()
    {
        SignalPostBody record = sampleRecord();
        record.floatValue = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(!analyticsEncoder().encode({sampleRecord(), record}));
    }

    void hashingVectors_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("salt");
        QTest::addColumn<QString>("digest");
        QTest::newRow("empty") << QString() << QString()
                               << "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
        QTest::newRow("abc") << "abc" << QString()
                             << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("salt appended") << "ab"
                                       << "c"
                                       << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
        QTest::newRow("utf-8") << QString::fromUtf8("\xc3\xa4") << QString()
                               << "33e6d73fee82904c8d7afb78de1154d1e8dc2a0edb08120e63df5b9385c2d9cc";
    }

    void hashingVectors()
    {
        QFETCH(QString, text);
        QFETCH(QString, salt);
        QFETCH(QString, digest);
        QCOMPARE(sha256Hex(text, salt), digest);
    }

    void suiteName()
    {
        const QString appID = QStringLiteral("abc");
        QCOMPARE(analyticsSuiteName(appID), QStringLiteral("org.ovlin.analytics.ff61f20015ad"));
        QVERIFY(analyticsSuiteName(QStringLiteral("other")) != analyticsSuiteName(appID));
    }

    void configurationDefaults()
    {
        const AnalyticsManagerConfiguration config(QStringLiteral("APP"));
        QCOMPARE(config.analyticsAppID(), QStringLiteral("APP"));
        QCOMPARE(config.salt(), QString());
        QCOMPARE(config.apiBaseURL(), QUrl(QStringLiteral(OVLIN_ANALYTICS_ENDPOINT)));
        QCOMPARE(config.hasEndpoint(), !QByteArray(OVLIN_ANALYTICS_ENDPOINT).isEmpty());
        QVERIFY(!config.testMode() && !config.analyticsDisabled() && !config.defaultUser());
        QVERIFY(config.sessionStatsEnabled() && config.sendNewSessionBeganSignal());
        QVERIFY(!config.sessionID().isNull() && config.logHandler());
        QCOMPARE(config.logHandler()->logLevel, LogHandler::LogLevel::info);
    }

    void previewVariable_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<std::optional<bool>>("explicitValue");
        QTest::addColumn<bool>("preview");
        QTest::newRow("unset") << QByteArray() << std::optional<bool>() << false;
        QTest::newRow("one") << QByteArray("1") << std::optional<bool>() << true;
        QTest::newRow("explicit false wins") << QByteArray("1") << std::optional<bool>(false) << false;
        QTest::newRow("explicit true") << QByteArray() << std::optional<bool>(true) << true;
    }

    void previewVariable()
    {
        QFETCH(QByteArray, value);
        QFETCH(std::optional<bool>, explicitValue);
        QFETCH(bool, preview);
        AnalyticsManagerConfiguration config(QStringLiteral("APP"));
        if (explicitValue)
            config.setSwiftUIPreviewMode(*explicitValue);
        if (value.isNull())
            qunsetenv("XCODE_RUNNING_FOR_PREVIEWS");
        else
            qputenv("XCODE_RUNNING_FOR_PREVIEWS", value);
        const bool result = config.swiftUIPreviewMode();
        qunsetenv("XCODE_RUNNING_FOR_PREVIEWS");
        QCOMPARE(result, preview);
        // Read anew each time, not cached.
        QCOMPARE(config.swiftUIPreviewMode(), explicitValue.value_or(false));
    }

    void logThresholds_data()
    {
        QTest::addColumn<int>("threshold");
        QTest::addColumn<int>("level");
        QTest::addColumn<bool>("passes");
        for (int threshold = 0; threshold <= 2; ++threshold) {
            for (int level = 0; level <= 2; ++level)
                QTest::addRow("threshold %d level %d", threshold, level) << threshold << level << (level >= threshold);
        }
    }

    void logThresholds()
    {
        QFETCH(int, threshold);
        QFETCH(int, level);
        QFETCH(bool, passes);
        LogRecorder recorder;
        const LogHandler handler = recorder.handler(*LogHandler::levelFromRawValue(threshold));
        handler.log(*LogHandler::levelFromRawValue(level), QStringLiteral("Rating must be between 0 and 10"));
        QCOMPARE(recorder.lines().size(), passes ? 1 : 0);
    }

    void errorTexts()
    {
        QCOMPARE(AnalyticsError::invalidStatusCode(500).plainRendering(),
                 QStringLiteral("invalidStatusCode(statusCode: 500)"));
        QCOMPARE(AnalyticsError::invalidStatusCode(404).localizedDescription(),
                 QStringLiteral("Invalid status code 404"));
        QCOMPARE(AnalyticsError::unauthorised().localizedDescription(), QStringLiteral("Unauthorized (401)"));
        QCOMPARE(AnalyticsError::payloadTooLarge().localizedDescription(),
                 QStringLiteral("Payload is too large (413)"));
        QCOMPARE(AnalyticsError::forbidden().plainRendering(), QStringLiteral("forbidden"));
        QCOMPARE(AnalyticsError::invalidEndpointUrl().localizedDescription(), QStringLiteral("Invalid endpoint URL"));
    }

    void decimalAndDurationTexts_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 3.0 << "3.0";
        QTest::newRow("cut to thousandths") << 12.3456 << "12.345";
        QTest::newRow("almost two") << 2.0004 << "2.0";
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("negative") << -1.2345 << "-1.235";
    }

    void decimalAndDurationTexts()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(Analytics::durationText(seconds), text);
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsRecords)
#include "tst_analytics_records.moc"
