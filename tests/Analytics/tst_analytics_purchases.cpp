#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/CurrencyRates.h"
#include "Analytics/Hashing.h"
#include "Analytics/Transaction.h"
#include "Analytics/TransactionUpdateSource.h"
#include "Analytics/TrialConversionTracker.h"

#include "SignalRecording.h"
#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <limits>

using namespace analytics;
using StoredTrial = TrialConversionTracker::StoredTrial;

namespace {

const QString kAppID = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");
const QString kLastTrial = QStringLiteral("lastTrial");
const QString kConverted = QStringLiteral("Analytics.Purchase.convertedFromTrial");
const QDateTime kNow(QDate(2026, 5, 4), QTime(10, 0));

// Stands in for the store: every stream it handed out receives what it emits.
class FakeTransactionSource : public TransactionUpdateSource
{
public:
    std::shared_ptr<TransactionUpdateStream> updates() override
    {
        std::lock_guard lock(m_mutex);
        m_streams.push_back(std::make_shared<TransactionUpdateStream>());
        return m_streams.back();
    }
    void emitUpdate(const Transaction &transaction, bool verified = true)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &stream : m_streams)
            stream->yield(VerificationResult{transaction, verified});
    }
    std::vector<std::shared_ptr<TransactionUpdateStream>> streams() const
    {
        std::lock_guard lock(m_mutex);
        return m_streams;
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::shared_ptr<TransactionUpdateStream>> m_streams;
};

// Threads of this process with the given name.
int threadsNamed(const QString &name)
{
    int count = 0;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly) && QString::fromUtf8(comm.readAll()).trimmed() == name)
            ++count;
    }
    return count;
}

int listeningThreads()
{
    return threadsNamed(QStringLiteral("trialupdates"));
}

Transaction::Offer offer(Transaction::OfferType type, std::optional<Transaction::PaymentMode> mode)
{
    Transaction::Offer result;
    result.type = type;
    result.paymentMode = mode;
    return result;
}

// A renewal of the monthly subscription.
Transaction subscription(std::optional<double> price = 9.99, std::optional<QString> currency = QStringLiteral("EUR"),
                         quint64 originalID = 1000)
{
    Transaction transaction;
    transaction.productID = QStringLiteral("pro.monthly");
    transaction.originalID = originalID;
    transaction.productType = Transaction::ProductType::autoRenewable;
    transaction.subscriptionGroupID = QStringLiteral("pro");
    transaction.storefrontCountryCode = QStringLiteral("DEU");
    transaction.currency = currency;
    transaction.price = price;
    return transaction;
}

Transaction freeTrial(quint64 originalID = 1000)
{
    Transaction transaction = subscription(0.0, QStringLiteral("EUR"), originalID);
    transaction.offer = offer(Transaction::OfferType::introductory, Transaction::PaymentMode::freeTrial);
    return transaction;
}

Transaction oneTime(std::optional<double> price, std::optional<QString> currency)
{
    Transaction transaction;
    transaction.productID = QStringLiteral("sticker.pack");
    transaction.originalID = 77;
    transaction.productType = Transaction::ProductType::nonConsumable;
    transaction.storefrontCountryCode = QStringLiteral("JPN");
    transaction.currency = currency;
    transaction.price = price;
    return transaction;
}

std::optional<QByteArray> storedTrialData()
{
    return analyticsDefaults()->bytesValue(kLastTrial);
}

} // namespace

// Purchase signals, the dollar table and the trial conversion tracker.
class TestAnalyticsPurchases : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;
    std::shared_ptr<FakeTransactionSource> m_source;
    std::unique_ptr<ovlin::ScopedFakeClock> m_clock;

    void start()
    {
        Analytics::initializeWith(
            AnalyticsManagerConfiguration::create(kAppID, std::nullopt, m_case->server.baseUrl()));
    }

    // A tracker of its own that remembers the trial of originalID 1000 and listens.
    std::unique_ptr<TrialConversionTracker> listeningTracker()
    {
        TrialConversionTracker::persistTrial(StoredTrial{QStringLiteral("pro.monthly"), 1000});
        auto tracker = std::make_unique<TrialConversionTracker>();
        if (!tracker->isListening() || m_source->streams().size() != 1)
            return nullptr;
        return tracker;
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
        m_source = std::make_shared<FakeTransactionSource>();
        TransactionUpdateSource::setRegistered(m_source);
        m_clock = std::make_unique<ovlin::ScopedFakeClock>(kNow);
        start();
    }

    void cleanup()
    {
        TrialConversionTracker::resetSharedForTesting();
        QCOMPARE(listeningThreads(), 0);
        TransactionUpdateSource::setRegistered(nullptr);
        m_source.reset();
        m_clock.reset();
        m_case->sandbox.reset();
        QVERIFY(m_case->server.requests().isEmpty());
        m_case.reset();
    }

    void currencyTable()
    {
        QCOMPARE(currencyRatesToUSD().size(), size_t(161));
        for (const auto &[code, rate] : currencyRatesToUSD())
            QVERIFY2(std::isfinite(rate) && rate > 0, qPrintable(code));
        // The smallest and the largest rates.
        const auto [smallest, largest] =
            std::minmax_element(currencyRatesToUSD().begin(), currencyRatesToUSD().end(),
                                [](const auto &a, const auto &b) { return a.second < b.second; });
        QCOMPARE(smallest->first, QStringLiteral("KWD"));
        QCOMPARE(largest->first, QStringLiteral("LBP"));
    }

    void purchaseParameters()
    {
        QCOMPARE(subscription().purchaseParameters(), (Parameters{{"Analytics.Purchase.type", "subscription"},
                                                                  {"Analytics.Purchase.countryCode", "DEU"},
                                                                  {"Analytics.Purchase.productID", "pro.monthly"},
                                                                  {"Analytics.Purchase.currencyCode", "EUR"}}));
        QCOMPARE(oneTime(1.0, std::nullopt).purchaseParameters(),
                 (Parameters{{"Analytics.Purchase.type", "one-time-purchase"},
                             {"Analytics.Purchase.countryCode", "JPN"},
                             {"Analytics.Purchase.productID", "sticker.pack"}}));
    }

    void reportPurchase_data()
    {
        QTest::addColumn<Transaction>("transaction");
        QTest::addColumn<QString>("name");
        QTest::addColumn<std::optional<double>>("value");
        using V = std::optional<double>;
        const QString completed = QStringLiteral("Analytics.Purchase.completed");
        const QString trial = QStringLiteral("Analytics.Purchase.freeTrialStarted");
        Transaction introductory = subscription(0.0);
        introductory.offer = offer(Transaction::OfferType::introductory, Transaction::PaymentMode::payUpFront);
        Transaction introductoryPaid = introductory;
        introductoryPaid.price = 0.99;
        Transaction promotional = subscription(0.0);
        promotional.offer = offer(Transaction::OfferType::promotional, Transaction::PaymentMode::freeTrial);
        Transaction noPrice = subscription(std::nullopt);

        QTest::newRow("one-time in JPY") << oneTime(4.99, QStringLiteral("JPY")) << completed << V(4.99 / 152.3479);
        QTest::newRow("subscription in EUR") << subscription() << completed << V(9.99 / 0.9533);
        QTest::newRow("in USD") << oneTime(4.99, QStringLiteral("USD")) << completed << V(4.99);
        QTest::newRow("unknown code") << oneTime(4.99, QStringLiteral("XYZ")) << completed << V(0.0);
        QTest::newRow("no currency") << oneTime(4.99, std::nullopt) << completed << V(0.0);
        QTest::newRow("no price") << noPrice << completed << V(0.0);
        QTest::newRow("free trial") << freeTrial() << trial << V();
        QTest::newRow("introductory at 0") << introductory << trial << V();
        QTest::newRow("introductory at 0.99") << introductoryPaid << completed << V(0.99 / 0.9533);
        QTest::newRow("promotional at 0") << promotional << completed << V(0.0);
    }

    void reportPurchase()
    {
        QFETCH(Transaction, transaction);
        QFETCH(QString, name);
        QFETCH(std::optional<double>, value);
        Analytics::reportPurchase(transaction, {{"source", "paywall"}}, QStringLiteral("dana"));
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 1);
        const SignalPostBody &record = settled.records.first();
        QCOMPARE(record.type, name);
        QCOMPARE(record.floatValue.has_value(), value.has_value());
        if (value)
            QVERIFY2(*record.floatValue == *value, qPrintable(QString::number(*record.floatValue, 'g', 17)));
        QCOMPARE(record.clientUser, sha256Hex(QStringLiteral("dana")));
        Parameters expected = transaction.purchaseParameters();
        expected.insert("source", "paywall");
        QCOMPARE(SignalRecording::ownParameters(record, settled.marker), expected);

        const bool trialStarted = name.endsWith(QStringLiteral("freeTrialStarted"));
        TrialConversionTracker::shared().waitForPendingWrites();
        QCOMPARE(TrialConversionTracker::loadStoredTrial().has_value(), trialStarted);
        if (trialStarted) {
            QCOMPARE(*TrialConversionTracker::loadStoredTrial(), (StoredTrial{transaction.productID, 1000}));
            QVERIFY(TrialConversionTracker::shared().isListening());
            QCOMPARE(listeningThreads(), 1);
        }
    }

    void trialHandedOverEvenWhenDisabled()
    {
        AnalyticsManager::sharedManager()->configuration()->setAnalyticsDisabled(true);
        Analytics::reportPurchase(freeTrial());
        TrialConversionTracker::shared().waitForPendingWrites();
        QVERIFY(TrialConversionTracker::loadStoredTrial());
        QVERIFY(TrialConversionTracker::shared().isListening());
        QCOMPARE(AnalyticsSandbox::cache()->count(), 0);
    }

    void trialEncodingForm()
    {
        QCOMPARE(TrialConversionTracker::encodeTrial(StoredTrial{QStringLiteral("pro.monthly"), 42}),
                 QByteArray(R"({"productID":"pro.monthly","originalTransactionID":42})"));
    }

    void trialDecoding_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("other members ignored")
            << QByteArray(R"({"originalTransactionID":7,"x":{"originalTransactionID":1},"productID":"p"})") << true;
        QTest::newRow("not JSON") << QByteArray("lastTrial") << false;
        QTest::newRow("array") << QByteArray(R"([{"productID":"p","originalTransactionID":7}])") << false;
        QTest::newRow("no product") << QByteArray(R"({"originalTransactionID":7})") << false;
        QTest::newRow("text identifier") << QByteArray(R"({"productID":"p","originalTransactionID":"7"})") << false;
        QTest::newRow("identifier beyond 64 bits")
            << QByteArray(R"({"productID":"p","originalTransactionID":18446744073709551616})") << false;
        QTest::newRow("ambiguous large identifier")
            << QByteArray(R"({"x":{"originalTransactionID":9223372036854775809},"productID":"p",)"
                          R"("originalTransactionID":9223372036854775808})")
            << false;
    }

    void trialDecoding()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, decodes);
        const auto trial = TrialConversionTracker::decodeTrial(data);
        QCOMPARE(trial.has_value(), decodes);
        if (decodes)
            QCOMPARE(*trial, (StoredTrial{QStringLiteral("p"), 7}));
    }

    void trackerStartsOnlyWithARememberedTrial_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("listening");
        QTest::newRow("valid trial") << QVariant(TrialConversionTracker::encodeTrial({"pro.monthly", 1000})) << true;
        QTest::newRow("malformed data") << QVariant(QByteArray(R"({"productID":"pro.monthly"})")) << false;
        QTest::newRow("not data") << QVariant(QString::fromLatin1(TrialConversionTracker::encodeTrial({"p", 1})))
                                  << false;
        QTest::newRow("nothing") << QVariant() << false;
    }

    void trackerStartsOnlyWithARememberedTrial()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, listening);
        if (stored.isValid())
            analyticsDefaults()->setObject(kLastTrial, stored);
        auto tracker = std::make_unique<TrialConversionTracker>();
        QCOMPARE(tracker->isListening(), listening);
        QCOMPARE(m_source->streams().size(), size_t(listening ? 1 : 0));
        QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), listening ? 1 : 0, 2000);
        // A malformed trial is left as it is and never converts.
        if (!listening) {
            m_source->emitUpdate(subscription());
            QCOMPARE(SignalRecording::settle().records.size(), 0);
        }
        tracker.reset();
        QCOMPARE(listeningThreads(), 0);
    }

    void trackerConvertsOnce()
    {
        const auto tracker = listeningTracker();
        QVERIFY(tracker);
        Transaction otherOriginal = subscription(9.99, QStringLiteral("EUR"), 2000);
        Transaction otherProduct = subscription();
        otherProduct.productID = QStringLiteral("pro.yearly");
        Transaction renewal = subscription(4.99, QStringLiteral("JPY"));
        renewal.storefrontCountryCode = QStringLiteral("JPN");
        m_source->emitUpdate(freeTrial());                     // still free: nothing changes
        m_source->emitUpdate(otherOriginal);                   // another subscription
        m_source->emitUpdate(otherProduct);                    // another product
        m_source->emitUpdate(subscription(1.0, "USD"), false); // not verified
        m_source->emitUpdate(renewal);
        QTRY_VERIFY_WITH_TIMEOUT(!tracker->isListening(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), 0, 2000);
        QVERIFY(m_source->streams().front()->isCancelled());
        m_source->emitUpdate(renewal);

        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(SignalRecording::types(settled.records), QStringList{kConverted});
        const SignalPostBody &record = settled.records.first();
        QCOMPARE(SignalRecording::ownParameters(record, settled.marker), renewal.purchaseParameters());
        QVERIFY(record.floatValue && *record.floatValue == 4.99 / 152.3479);
        QCOMPARE(record.clientUser, settled.marker.clientUser);
        tracker->waitForPendingWrites();
        QVERIFY(!storedTrialData());
    }

    void trackerForgets_data()
    {
        QTest::addColumn<Transaction>("update");
        QTest::addColumn<bool>("converts");
        Transaction revoked = freeTrial();
        revoked.revocationDate = kNow.addDays(-1);
        Transaction expired = freeTrial();
        expired.expirationDate = kNow.addSecs(-1);
        Transaction upgraded = subscription();
        upgraded.isUpgraded = true;
        Transaction paidExpiringNow = subscription();
        paidExpiringNow.expirationDate = kNow;
        Transaction paidRunning = subscription();
        paidRunning.expirationDate = kNow.addDays(30);
        QTest::newRow("revoked") << revoked << false;
        QTest::newRow("expired") << expired << false;
        QTest::newRow("upgraded") << upgraded << false;
        QTest::newRow("expiring this very moment") << paidExpiringNow << true;
        QTest::newRow("paid and running") << paidRunning << true;
    }

    void trackerForgets()
    {
        QFETCH(Transaction, update);
        QFETCH(bool, converts);
        const auto tracker = listeningTracker();
        QVERIFY(tracker);
        m_source->emitUpdate(update);
        QTRY_VERIFY_WITH_TIMEOUT(!tracker->isListening(), 2000);
        QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), 0, 2000);
        tracker->waitForPendingWrites();
        QVERIFY(!storedTrialData());
        QCOMPARE(SignalRecording::types(SignalRecording::settle().records),
                 converts ? QStringList{kConverted} : QStringList());
    }

    void newestTrialAloneConverts()
    {
        Analytics::reportPurchase(freeTrial(1000));
        Analytics::reportPurchase(freeTrial(2000));
        TrialConversionTracker &tracker = TrialConversionTracker::shared();
        tracker.waitForPendingWrites();
        QCOMPARE(*TrialConversionTracker::loadStoredTrial(), (StoredTrial{QStringLiteral("pro.monthly"), 2000}));
        // The first listener was cancelled when the second trial started.
        QCOMPARE(m_source->streams().size(), size_t(2));
        QVERIFY(m_source->streams()[0]->isCancelled());
        QCOMPARE(listeningThreads(), 1);
        m_source->emitUpdate(subscription(9.99, QStringLiteral("EUR"), 1000));
        m_source->emitUpdate(subscription(19.99, QStringLiteral("USD"), 2000));
        QTRY_VERIFY_WITH_TIMEOUT(!tracker.isListening(), 2000);
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(
            SignalRecording::types(settled.records),
            (QStringList{"Analytics.Purchase.freeTrialStarted", "Analytics.Purchase.freeTrialStarted", kConverted}));
        QCOMPARE(settled.records.last().floatValue, std::optional<double>(19.99));
    }

    void nothingStoredBeforeInitialisation()
    {
        AnalyticsManager::terminate();
        TrialConversionTracker tracker;
        tracker.storeTrial(StoredTrial{QStringLiteral("pro.monthly"), 1000});
        tracker.waitForPendingWrites();
        QVERIFY(!TrialConversionTracker::loadStoredTrial());
        start();
        QVERIFY(!storedTrialData());
        QVERIFY(!TrialConversionTracker().isListening());
    }

    void threadEndsOnCancel()
    {
        {
            TrialConversionTracker tracker;
            QVERIFY(!tracker.isListening());
            tracker.startListening();
            QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), 1, 2000);
            tracker.startListening();
            // The first task was cancelled and its thread has ended; the second listens.
            QVERIFY(m_source->streams()[0]->isCancelled());
            QVERIFY(!m_source->streams()[1]->isCancelled());
            QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), 1, 2000);
            QVERIFY(tracker.isListening());
        }
        QCOMPARE(listeningThreads(), 0);
        QVERIFY(m_source->streams()[1]->isCancelled());
    }

    void withoutASourceListeningEndsAtOnce()
    {
        TransactionUpdateSource::setRegistered(nullptr);
        TrialConversionTracker tracker;
        tracker.startListening();
        QTRY_COMPARE_WITH_TIMEOUT(listeningThreads(), 0, 2000);
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsPurchases)
#include "tst_analytics_purchases.moc"
