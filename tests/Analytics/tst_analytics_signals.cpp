#include "Analytics/Analytics.h"
#include "Analytics/ErrorCategory.h"
#include "Analytics/Hashing.h"
#include "Analytics/IdentifiableError.h"
#include "Analytics/TrackNavigationModifier.h"

#include "SignalRecording.h"
#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include <QEvent>
#include <QtTest>

#include <stdexcept>
#include <thread>

using namespace analytics;

// Named outside any namespace: the generic description names the type.
class SaveError : public IdentifiableError
{
public:
    QString id() const override { return QStringLiteral("save.failed"); }
};

class DescribedError : public IdentifiableError
{
public:
    QString id() const override { return QStringLiteral("described"); }
    std::optional<QString> errorDescription() const override { return QStringLiteral("The disk is full."); }
};

namespace {

const QString kAppID = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");

void show(QObject *view)
{
    QEvent event(QEvent::Show);
    QCoreApplication::sendEvent(view, &event);
}

} // namespace

// Navigation, preset and error signals, as they reach the cache.
class TestAnalyticsSignals : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ServerCase> m_case;

    // The one signal sent since the start, with its own parameters.
    static std::pair<SignalPostBody, Parameters> onlySignal()
    {
        const SignalRecording::Settled settled = SignalRecording::settle();
        if (!settled.arrived || settled.records.size() != 1)
            return {};
        return {settled.records.first(), SignalRecording::ownParameters(settled.records.first(), settled.marker)};
    }

    static Parameters navigation(const QString &source, const QString &destination)
    {
        return {{"Analytics.Navigation.schemaVersion", "1"},
                {"Analytics.Navigation.identifier", source + " -> " + destination},
                {"Analytics.Navigation.sourcePath", source},
                {"Analytics.Navigation.destinationPath", destination}};
    }

private Q_SLOTS:
    void init()
    {
        m_case = std::make_unique<ServerCase>();
        QVERIFY(m_case->server.listen());
        Analytics::initializeWith(m_case->configuration(kAppID));
    }

    void cleanup()
    {
        m_case->sandbox.reset();
        QVERIFY(m_case->server.requests().isEmpty());
        m_case.reset();
    }

    // Runs first: the previous path is process-wide and nothing has been reported yet.
    void firstNavigationHasOnlyADestination()
    {
        Analytics::sendNavigationPathChanged(QStringLiteral("today"));
        const auto [record, own] = onlySignal();
        QCOMPARE(record.type, QStringLiteral("Analytics.Navigation.pathChanged"));
        QCOMPARE(own, navigation("", "today"));
        QCOMPARE(own.value("Analytics.Navigation.identifier"), QStringLiteral(" -> today"));
        QVERIFY(!record.floatValue);
    }

    void navigationChain()
    {
        Analytics::sendNavigationPathChanged(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("alice"));
        Analytics::sendNavigationPathChanged(QStringLiteral("c"));
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 2);
        QCOMPARE(SignalRecording::ownParameters(settled.records[0], settled.marker), navigation("a", "b"));
        QCOMPARE(settled.records[0].clientUser, sha256Hex(QStringLiteral("alice")));
        QCOMPARE(SignalRecording::ownParameters(settled.records[1], settled.marker), navigation("b", "c"));
        QCOMPARE(settled.records[1].clientUser, settled.marker.clientUser);
        // Reserved names on the internal path draw no warning.
        QCOMPARE(m_case->log.lines().filter(QStringLiteral("Sending")), QStringList());
    }

    void modifierReportsEachAppearance()
    {
        Analytics::sendNavigationPathChanged(QStringLiteral("x"), QStringLiteral("start"), std::nullopt);
        QObject view;
        trackNavigation(&view, QStringLiteral("rewards"));
        show(&view);
        QEvent hide(QEvent::Hide);
        QCoreApplication::sendEvent(&view, &hide);
        show(&view);
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 3);
        QCOMPARE(SignalRecording::ownParameters(settled.records[1], settled.marker), navigation("start", "rewards"));
        QCOMPARE(SignalRecording::ownParameters(settled.records[2], settled.marker), navigation("rewards", "rewards"));
    }

    void concurrentReportsFormOneChain()
    {
        Analytics::sendNavigationPathChanged(QStringLiteral("x"), QStringLiteral("0"), std::nullopt);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < 25; ++i)
                    Analytics::sendNavigationPathChanged(QStringLiteral("%1.%2").arg(t).arg(i));
            });
        }
        for (auto &thread : threads)
            thread.join();
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 101);
        // Every destination is the source of exactly one later report.
        QStringList sources;
        QStringList destinations;
        for (const SignalPostBody &record : settled.records) {
            sources.append(record.payload.value("Analytics.Navigation.sourcePath"));
            destinations.append(record.payload.value("Analytics.Navigation.destinationPath"));
        }
        sources.sort();
        destinations.sort();
        QCOMPARE(sources.size(), 101);
        QCOMPARE(QSet<QString>(sources.begin(), sources.end()).size(), 101);
        for (const QString &source : sources)
            QVERIFY(source == "x" || destinations.contains(source));
    }

    void presets_data()
    {
        QTest::addColumn<int>("preset");
        QTest::addColumn<Parameters>("callerParameters");
        QTest::addColumn<QString>("name");
        QTest::addColumn<Parameters>("sent");
        const Parameters none;
        QTest::newRow("user acquired") << 0 << none << "Analytics.Acquisition.userAcquired"
                                       << Parameters{{"Analytics.Acquisition.channel", "newsletter"}};
        QTest::newRow("caller replaces the channel")
            << 0 << Parameters{{"Analytics.Acquisition.channel", "friend"}, {"extra", "1"}}
            << "Analytics.Acquisition.userAcquired"
            << Parameters{{"Analytics.Acquisition.channel", "friend"}, {"extra", "1"}};
        QTest::newRow("lead started") << 1 << none << "Analytics.Acquisition.leadStarted"
                                      << Parameters{{"Analytics.Acquisition.leadID", "L-7"}};
        QTest::newRow("lead converted") << 2 << none << "Analytics.Acquisition.leadConverted"
                                        << Parameters{{"Analytics.Acquisition.leadID", "L-7"}};
        QTest::newRow("onboarding completed") << 3 << none << "Analytics.Activation.onboardingCompleted" << none;
        QTest::newRow("core feature used") << 4 << none << "Analytics.Activation.coreFeatureUsed"
                                           << Parameters{{"Analytics.Activation.featureName", "check-off"}};
        QTest::newRow("referral without kind")
            << 5 << none << "Analytics.Referral.sent" << Parameters{{"Analytics.Referral.receiversCount", "3"}};
        QTest::newRow("referral with kind")
            << 6 << none << "Analytics.Referral.sent"
            << Parameters{{"Analytics.Referral.receiversCount", "-2"}, {"Analytics.Referral.kind", "email"}};
        QTest::newRow("paywall shown") << 7 << none << "Analytics.Revenue.paywallShown"
                                       << Parameters{{"Analytics.Revenue.paywallShowReason", "limit"}};
    }

    void presets()
    {
        QFETCH(int, preset);
        QFETCH(Parameters, callerParameters);
        QFETCH(QString, name);
        QFETCH(Parameters, sent);
        switch (preset) {
        case 0: Analytics::sendUserAcquired(QStringLiteral("newsletter"), callerParameters); break;
        case 1: Analytics::sendLeadStarted(QStringLiteral("L-7"), callerParameters); break;
        case 2: Analytics::sendLeadConverted(QStringLiteral("L-7"), callerParameters); break;
        case 3: Analytics::sendOnboardingCompleted(callerParameters); break;
        case 4: Analytics::sendCoreFeatureUsed(QStringLiteral("check-off"), callerParameters); break;
        case 5: Analytics::sendReferralSent(3, std::nullopt, callerParameters); break;
        case 6: Analytics::sendReferralSent(-2, QStringLiteral("email"), callerParameters); break;
        case 7: Analytics::sendPaywallShown(QStringLiteral("limit"), callerParameters); break;
        }
        const auto [record, own] = onlySignal();
        QCOMPARE(record.type, name);
        QCOMPARE(own, sent);
        QVERIFY(!record.floatValue);
        QCOMPARE(m_case->log.lines().filter(QStringLiteral("Sending")), QStringList());
    }

    void rating_data()
    {
        QTest::addColumn<qint64>("rating");
        QTest::addColumn<bool>("sent");
        QTest::newRow("-1") << qint64(-1) << false;
        QTest::newRow("0") << qint64(0) << true;
        QTest::newRow("10") << qint64(10) << true;
        QTest::newRow("11") << qint64(11) << false;
    }

    void rating()
    {
        QFETCH(qint64, rating);
        QFETCH(bool, sent);
        Analytics::sendUserRatingSubmitted(rating, QStringLiteral("Nice"), {{"screen", "settings"}});
        const SignalRecording::Settled settled = SignalRecording::settle();
        const QString error = QStringLiteral("ERROR: Rating must be between 0 and 10");
        if (!sent) {
            QCOMPARE(settled.records.size(), 0);
            QCOMPARE(m_case->log.count(error), 1);
            return;
        }
        QCOMPARE(settled.records.size(), 1);
        QCOMPARE(settled.records.first().type, QStringLiteral("Analytics.Referral.userRatingSubmitted"));
        QCOMPARE(SignalRecording::ownParameters(settled.records.first(), settled.marker),
                 (Parameters{{"Analytics.Referral.ratingValue", QString::number(rating)},
                             {"Analytics.Referral.ratingComment", "Nice"},
                             {"screen", "settings"}}));
        QCOMPARE(m_case->log.count(error), 0);
    }

    void ratingWithoutCommentOrLogHandler()
    {
        Analytics::sendUserRatingSubmitted(7);
        AnalyticsManager::sharedManager()->configuration()->setLogHandler(std::nullopt);
        Analytics::sendUserRatingSubmitted(12);
        const auto [record, own] = onlySignal();
        QCOMPARE(own, (Parameters{{"Analytics.Referral.ratingValue", "7"}}));
        QCOMPARE(m_case->log.linesWith(QStringLiteral("Rating")), QStringList());
    }

    void errors_data()
    {
        QTest::addColumn<ErrorCategory>("category");
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<Parameters>("callerParameters");
        QTest::addColumn<Parameters>("sent");
        QTest::newRow("user input, no message")
            << ErrorCategory::userInput << std::optional<QString>() << Parameters()
            << Parameters{{"Analytics.Error.id", "E1"}, {"Analytics.Error.category", "user-input"}};
        QTest::newRow("empty message still sent")
            << ErrorCategory::appState << std::optional<QString>("") << Parameters()
            << Parameters{{"Analytics.Error.id", "E1"},
                          {"Analytics.Error.category", "app-state"},
                          {"Analytics.Error.message", ""}};
        QTest::newRow("caller replaces the category")
            << ErrorCategory::thrownException << std::optional<QString>("boom")
            << Parameters{{"Analytics.Error.category", "custom"}, {"where", "save"}}
            << Parameters{{"Analytics.Error.id", "E1"},
                          {"Analytics.Error.category", "custom"},
                          {"Analytics.Error.message", "boom"},
                          {"where", "save"}};
    }

    void errors()
    {
        QFETCH(ErrorCategory, category);
        QFETCH(std::optional<QString>, message);
        QFETCH(Parameters, callerParameters);
        QFETCH(Parameters, sent);
        Analytics::sendErrorOccurred(QStringLiteral("E1"), category, message, callerParameters, 2.5,
                                     QStringLiteral("carol"));
        const auto [record, own] = onlySignal();
        QCOMPARE(record.type, QStringLiteral("Analytics.Error.occurred"));
        QCOMPARE(own, sent);
        QCOMPARE(record.floatValue, std::optional<double>(2.5));
        QCOMPARE(record.clientUser, sha256Hex(QStringLiteral("carol")));
        QCOMPARE(m_case->log.lines().filter(QStringLiteral("Sending")), QStringList());
    }

    void identifiableErrors()
    {
        const AnyIdentifiableError wrapped = identified(std::runtime_error("disk full"), QStringLiteral("save.failed"));
        Analytics::sendErrorOccurred(SaveError(), ErrorCategory::thrownException);
        Analytics::sendErrorOccurred(DescribedError(), ErrorCategory::appState);
        Analytics::sendErrorOccurred(wrapped, ErrorCategory::thrownException);
        Analytics::sendErrorOccurred(wrapped, ErrorCategory::userInput, QStringLiteral("Try again"));
        Analytics::sendErrorOccurred(wrapped, ErrorCategory::userInput, std::nullopt);
        const SignalRecording::Settled settled = SignalRecording::settle();
        QCOMPARE(settled.records.size(), 5);
        QStringList messages;
        for (const SignalPostBody &record : settled.records) {
            QCOMPARE(record.type, QStringLiteral("Analytics.Error.occurred"));
            messages.append(record.payload.value("Analytics.Error.message", QStringLiteral("<absent>")));
        }
        QCOMPARE(messages, (QStringList{"The operation couldn’t be completed. (SaveError error.)", "The disk is full.",
                                        "The operation couldn’t be completed. (analytics::AnyIdentifiableError error.)",
                                        "Try again", "<absent>"}));
        QCOMPARE(settled.records[0].payload.value("Analytics.Error.id"), QStringLiteral("save.failed"));
        QCOMPARE(settled.records[1].payload.value("Analytics.Error.id"), QStringLiteral("described"));
        QCOMPARE(settled.records[2].payload.value("Analytics.Error.id"), QStringLiteral("save.failed"));
    }

    void errorCategories_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<ErrorCategory>>("category");
        QTest::newRow("thrown-exception") << "thrown-exception" << std::optional(ErrorCategory::thrownException);
        QTest::newRow("user-input") << "user-input" << std::optional(ErrorCategory::userInput);
        QTest::newRow("app-state") << "app-state" << std::optional(ErrorCategory::appState);
        QTest::newRow("other case") << "User-Input" << std::optional<ErrorCategory>();
        QTest::newRow("empty") << "" << std::optional<ErrorCategory>();
    }

    void errorCategories()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<ErrorCategory>, category);
        QCOMPARE(errorCategoryFromRawValue(text), category);
        if (category)
            QCOMPARE(rawValue(*category), text);
    }

    void nothingWhenDisabled()
    {
        AnalyticsManager::sharedManager()->configuration()->setAnalyticsDisabled(true);
        Analytics::sendNavigationPathChanged(QStringLiteral("a"), QStringLiteral("b"), std::nullopt);
        Analytics::sendOnboardingCompleted();
        Analytics::sendErrorOccurred(QStringLiteral("E"), ErrorCategory::appState);
        Analytics::sendUserRatingSubmitted(11);
        QTest::qWait(20);
        QCOMPARE(AnalyticsSandbox::cache()->count(), 0);
        // The rating check still logs.
        QCOMPARE(m_case->log.linesWith(QStringLiteral("Rating")),
                 QStringList{"ERROR: Rating must be between 0 and 10"});
    }
};

QTEST_GUILESS_MAIN(TestAnalyticsSignals)
#include "tst_analytics_signals.moc"
