#include "Analytics/SignalCache.h"
#include "Analytics/SignalManager.h"

#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

using namespace analytics;

namespace {

SignalPostBody record(int n)
{
    SignalPostBody r;
    r.receivedAt = QDateTime(QDate(2026, 2, 1), QTime(8, 30), Qt::UTC).addSecs(n);
    r.appID = QStringLiteral("INGEST");
    r.clientUser = QStringLiteral("user");
    r.sessionID = QStringLiteral("SESSION");
    r.type = QStringLiteral("signal.%1").arg(n);
    r.payload = {{QStringLiteral("n"), QString::number(n)}};
    r.isTestMode = QStringLiteral("false");
    return r;
}

QList<int> numbers(const QList<SignalPostBody> &records)
{
    QList<int> result;
    for (const SignalPostBody &r : records)
        result.append(r.payload.value("n").toInt());
    return result;
}

QList<int> numbers(const QJsonArray &array)
{
    QList<int> result;
    for (const QJsonValue &value : array)
        result.append(value.toObject().value("payload").toObject().value("n").toString().toInt());
    return result;
}

// The one line a failing spell leaves at the default level.
QString failedLine(const QString &reason)
{
    return QStringLiteral("ERROR: Sending signals failed: %1. They stay cached and are tried again.").arg(reason);
}

QList<int> range(int from, int count)
{
    QList<int> result;
    for (int n = from; n < from + count; ++n)
        result.append(n);
    return result;
}

// A transport that answers every request with a fixed result, on another thread.
class FixedTransport : public HttpTransport
{
public:
    explicit FixedTransport(HttpResult result) : m_result(std::move(result)) {}
    void send(const HttpRequest &, Completion completion) override
    {
        m_queue.async([completion, result = m_result] { completion(result); });
    }

private:
    HttpResult m_result;
    SerialQueue m_queue{"test.FixedTransport"};
};

} // namespace

// The ingest protocol against a real HTTP server on 127.0.0.1.
class TestAnalyticsIngest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;

    std::shared_ptr<SignalManager> makeManager(const QUrl &baseUrl, const std::optional<QString> &ns = {},
                                               std::shared_ptr<HttpTransport> transport = {},
                                               LogHandler::LogLevel level = LogHandler::LogLevel::debug)
    {
        auto config = AnalyticsManagerConfiguration::create(QStringLiteral("INGEST"), std::nullopt, baseUrl, ns);
        config->setLogHandler(m_case->log.handler(level));
        if (transport)
            config->setUrlSession(transport);
        auto manager = std::make_shared<SignalManager>(config);
        m_case->sandbox->watch(manager->signalCache());
        return manager;
    }

    static bool settled(const std::shared_ptr<SignalManager> &manager)
    {
        return manager->signalCache()->inFlightCount() == 0;
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
    }

    void cleanup() { m_case.reset(); }

    void requestShape()
    {
        const auto manager = makeManager(m_case->server.baseUrl());
        SignalPostBody withValue = record(1);
        withValue.floatValue = 0.5;
        manager->signalCache()->push({record(0), withValue});
        manager->sendCachedSignals();
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        const TestHttpServer::Request request = m_case->server.requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/v2/"));
        QCOMPARE(request.headerValues("Content-Type"), QList<QByteArray>{"application/json"});
        QVERIFY(request.body.startsWith('['));
        const QJsonArray array = request.jsonArray();
        QCOMPARE(array.size(), 2);
        const QJsonObject first = array[0].toObject();
        QCOMPARE(first.value("receivedAt").toString(), QStringLiteral("2026-02-01T08:30:00+0000"));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\+0000$")
                    .match(array[1].toObject().value("receivedAt").toString())
                    .hasMatch());
        QCOMPARE(first.value("isTestMode"), QJsonValue("false"));
        QCOMPARE(first.value("payload").toObject().value("n"), QJsonValue("0"));
        QVERIFY(!first.contains("floatValue"));
        QCOMPARE(array[1].toObject().value("floatValue").toDouble(), 0.5);
        QTRY_VERIFY(settled(manager));
        QCOMPARE(manager->signalCache()->count(), 0);
        QVERIFY(m_case->log.errors().isEmpty());
    }

    void endpointPaths_data()
    {
        QTest::addColumn<QString>("basePath");
        QTest::addColumn<std::optional<QString>>("ns");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("trailing slash") << "/" << std::optional<QString>() << QByteArray("/v2/");
        QTest::newRow("no trailing slash") << "" << std::optional<QString>() << QByteArray("/v2/");
        QTest::newRow("base path") << "/ingest" << std::optional<QString>() << QByteArray("/ingest/v2/");
        QTest::newRow("namespace") << "/" << std::optional<QString>("abc") << QByteArray("/v2/namespace/abc/");
        QTest::newRow("namespace without slash")
            << "" << std::optional<QString>("abc") << QByteArray("/v2/namespace/abc/");
    }

    void endpointPaths()
    {
        QFETCH(QString, basePath);
        QFETCH(std::optional<QString>, ns);
        QFETCH(QByteArray, path);
        const auto manager = makeManager(m_case->server.baseUrl(basePath), ns);
        manager->signalCache()->push(record(0));
        manager->sendCachedSignals();
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        QCOMPARE(m_case->server.requests().first().path, path);
    }

    void invalidNamespace()
    {
        const auto manager = makeManager(m_case->server.baseUrl(), QStringLiteral("a b"));
        manager->signalCache()->push({record(0), record(1)});
        for (int tick = 1; tick <= 2; ++tick) {
            manager->sendCachedSignals();
            QTRY_VERIFY(settled(manager));
            QCOMPARE(numbers(manager->signalCache()->waitingRecords()), range(0, 2));
            // The second tick fails the same way: only at debug level.
            QCOMPARE(
                m_case->log.errors(),
                QStringList{failedLine("Unable to construct signal API URL for namespace a b: invalidEndpointUrl")});
        }
        QTest::qWait(20);
        QVERIFY(m_case->server.requests().isEmpty());
    }

    void batchesOfAtMostHundred()
    {
        const auto manager = makeManager(m_case->server.baseUrl());
        for (int n = 0; n < 150; ++n)
            manager->signalCache()->push(record(n));
        manager->sendCachedSignals();
        QVERIFY(m_case->log.contains("DEBUG: Current signal cache count: 150"));
        QVERIFY(m_case->log.contains("DEBUG: Sending 100 signals leaving a cache of 50 signals"));
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        QCOMPARE(numbers(m_case->server.requests()[0].jsonArray()), range(0, 100));
        manager->sendCachedSignals();
        QVERIFY(m_case->log.contains("DEBUG: Sending 50 signals leaving a cache of 0 signals"));
        QTRY_COMPARE(m_case->server.requests().size(), 2);
        QCOMPARE(numbers(m_case->server.requests()[1].jsonArray()), range(100, 50));
        QTRY_VERIFY(settled(manager));
        m_case->log.clear();
        manager->sendCachedSignals();
        QCOMPARE(m_case->log.lines(), QStringList{"DEBUG: Current signal cache count: 0"});
        QTest::qWait(20);
        QCOMPARE(m_case->server.requests().size(), 2);
    }

    void statuses_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("line");
        QTest::newRow("200") << 200 << "";
        QTest::newRow("204") << 204 << "";
        QTest::newRow("401") << 401 << failedLine("unauthorised");
        QTest::newRow("403") << 403 << failedLine("forbidden");
        QTest::newRow("413") << 413 << failedLine("payloadTooLarge");
        QTest::newRow("404") << 404 << failedLine("invalidStatusCode(statusCode: 404)");
        QTest::newRow("500") << 500 << failedLine("invalidStatusCode(statusCode: 500)");
    }

    // A failed batch goes back behind the records that arrived while it was on its way.
    void statuses()
    {
        QFETCH(int, status);
        QFETCH(QString, line);
        m_case->server.enqueueReply({TestHttpServer::Mode::respond, status, status == 204 ? QByteArray() : "accepted"});
        const auto manager = makeManager(m_case->server.baseUrl());
        manager->signalCache()->push({record(0), record(1), record(2)});
        manager->sendCachedSignals();
        // The server answers from this thread, so these arrive while the batch is on its way.
        manager->signalCache()->push({record(3), record(4)});
        QTRY_VERIFY(settled(manager));
        if (line.isEmpty()) {
            QVERIFY(m_case->log.errors().isEmpty());
            QCOMPARE(m_case->log.contains("DEBUG: accepted"), status != 204);
            QCOMPARE(numbers(manager->signalCache()->waitingRecords()), (QList<int>{3, 4}));
            return;
        }
        QCOMPARE(m_case->log.errors(), QStringList{line});
        QCOMPARE(numbers(manager->signalCache()->waitingRecords()), (QList<int>{3, 4, 0, 1, 2}));
        // The next tick sends the newer records first.
        manager->sendCachedSignals();
        QTRY_COMPARE(m_case->server.requests().size(), 2);
        QCOMPARE(numbers(m_case->server.requests()[1].jsonArray()), (QList<int>{3, 4, 0, 1, 2}));
        QTRY_VERIFY(settled(manager));
        QCOMPARE(manager->signalCache()->count(), 0);
    }

    void transportFailures_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("connection refused") << 0;
        QTest::newRow("closed without an answer") << 1;
        QTest::newRow("time-out") << 2;
    }

    void transportFailures()
    {
        QFETCH(int, kind);
        QUrl base = m_case->server.baseUrl();
        if (kind == 0) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            base = QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
        }
        if (kind == 1)
            m_case->server.setDefaultReply({TestHttpServer::Mode::closeWithoutAnswer, 0, {}});
        if (kind == 2) {
            m_case->server.setDefaultReply({TestHttpServer::Mode::stall, 0, {}});
            Timings timings = Timings::current();
            timings.requestTimeout = std::chrono::milliseconds(300);
            Timings::setCurrent(timings);
        }
        const auto manager = makeManager(base);
        manager->signalCache()->push({record(0), record(1)});
        manager->sendCachedSignals();
        QTRY_VERIFY_WITH_TIMEOUT(settled(manager), 10000);
        QCOMPARE(numbers(manager->signalCache()->waitingRecords()), range(0, 2));
        QCOMPARE(m_case->log.errors().size(), 1);
        // Qt may try a closed connection once more before it gives up.
        if (kind != 0)
            QVERIFY(!m_case->server.requests().isEmpty());
    }

    // Offline, every interval fails the same way: the default level hears of the first failure and of
    // the first batch that goes through again, nothing else.
    void offlineSpellLeavesTwoLines()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        const auto manager =
            makeManager(QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(port)), {}, {}, LogHandler::LogLevel::info);
        manager->signalCache()->push({record(0), record(1), record(2)});
        m_case->log.clear(); // the cache's own lines
        for (int tick = 0; tick < 3; ++tick) {
            manager->sendCachedSignals();
            QTRY_VERIFY_WITH_TIMEOUT(settled(manager), 10000);
        }
        QCOMPARE(m_case->log.lines(), QStringList{failedLine("Connection refused")});

        TestHttpServer back;
        QVERIFY(back.listen(port));
        manager->sendCachedSignals();
        QTRY_VERIFY_WITH_TIMEOUT(settled(manager) && !back.requests().isEmpty(), 10000);
        QCOMPARE(manager->signalCache()->count(), 0);
        QCOMPARE(m_case->log.lines(),
                 (QStringList{failedLine("Connection refused"), QStringLiteral("INFO: Sending signals works again")}));
    }

    void noAnswerIsNotDelivery_data()
    {
        QTest::addColumn<bool>("nonHttpResponse");
        QTest::newRow("no response, no error") << false;
        QTest::newRow("response that is not HTTP") << true;
    }

    void noAnswerIsNotDelivery()
    {
        QFETCH(bool, nonHttpResponse);
        HttpResult result;
        if (nonHttpResponse)
            result.response = HttpResponse{};
        const auto manager = makeManager(m_case->server.baseUrl(), {}, std::make_shared<FixedTransport>(result));
        manager->signalCache()->push(record(0));
        manager->sendCachedSignals();
        QTRY_VERIFY(settled(manager));
        QCOMPARE(numbers(manager->signalCache()->waitingRecords()), QList<int>{0});
        QCOMPARE(m_case->log.errors(), QStringList{failedLine("invalidStatusCode(statusCode: 0)")});
    }

    void startSendsCachedRecordsThenEveryInterval()
    {
        {
            const auto earlier = SignalCache::open(std::nullopt);
            earlier->push({record(0), record(1)});
            earlier->backupCache();
        }
        Timings timings = Timings::current();
        timings.sendInterval = std::chrono::milliseconds(100);
        Timings::setCurrent(timings);
        const auto manager = makeManager(m_case->server.baseUrl());
        // The first batch goes at once, before any tick.
        QCOMPARE(manager->signalCache()->inFlightCount(), 2);
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        QCOMPARE(numbers(m_case->server.requests()[0].jsonArray()), range(0, 2));
        manager->signalCache()->push(record(2));
        QTRY_COMPARE(m_case->server.requests().size(), 2);
        QCOMPARE(numbers(m_case->server.requests()[1].jsonArray()), QList<int>{2});
    }

    // Switched off, the client posts nothing, neither at start nor on a timer, and leaves the cache
    // file as it is; switched on again, it sends what waited.
    void nothingIsPostedWhileSwitchedOff()
    {
        {
            const auto earlier = SignalCache::open(std::nullopt);
            earlier->push(record(0));
            earlier->backupCache();
        }
        QFile file(AnalyticsSandbox::cacheFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        auto config =
            AnalyticsManagerConfiguration::create(QStringLiteral("INGEST"), std::nullopt, m_case->server.baseUrl());
        config->setAnalyticsDisabled(true);
        const auto manager = std::make_shared<SignalManager>(config);
        m_case->sandbox->watch(manager->signalCache());
        QCOMPARE(manager->signalCache()->inFlightCount(), 0);
        QVERIFY(!manager->isSendTimerRunning());
        manager->sendCachedSignals();
        QCOMPARE(manager->signalCache()->inFlightCount(), 0);
        QCOMPARE(numbers(manager->signalCache()->waitingRecords()), QList<int>{0});
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        file.close();

        config->setAnalyticsDisabled(false);
        QVERIFY(manager->isSendTimerRunning());
        QTRY_COMPARE(m_case->server.requests().size(), 1);
        QCOMPARE(numbers(m_case->server.requests()[0].jsonArray()), QList<int>{0});
        QTRY_VERIFY(settled(manager));

        config->setAnalyticsDisabled(true);
        QVERIFY(!manager->isSendTimerRunning());
        QCOMPARE(m_case->server.requests().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsIngest)
#include "tst_analytics_ingest.moc"
