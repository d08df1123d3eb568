// The editor's signal through the real analytics client: saving a new reward posts "milestone.created"
// to an ingest server on 127.0.0.1; saving an edit posts nothing of the kind.
#include "Support/RewardsTestSupport.h"

#include "Support/AnalyticsTestSupport.h"
#include "Support/TestHttpServer.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManagerConfiguration.h"
#include "DesignSystem/OvlinButton.h"
#include "Rewards/MilestoneFormView.h"

#include <QJsonObject>
#include <QLineEdit>
#include <QtTest>

using namespace ovlin;
using namespace rewardstest;

class TestRewardAnalytics : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<AnalyticsSandbox> m_sandbox;
    std::unique_ptr<TestHttpServer> m_server;
    std::unique_ptr<FileStore> m_store;

    int recordsOfType(const QString &type) const
    {
        int count = 0;
        for (const QJsonObject &record : m_server->records())
            count += record.value(QStringLiteral("type")).toString() == type ? 1 : 0;
        return count;
    }

    void save(const std::shared_ptr<Milestone> &milestone, const QString &name)
    {
        MilestoneFormView view(milestone);
        view.setEnvironmentContext(m_store->context());
        view.show();
        view.nameField()->selectAll();
        QTest::keyClicks(view.nameField(), name);
        QTest::mouseClick(view.saveButton(), Qt::LeftButton);
        QVERIFY(!view.isVisible());
    }

private Q_SLOTS:
    void initTestCase() { Motion::setAnimationsEnabled(false); }

    void init()
    {
        m_sandbox = std::make_unique<AnalyticsSandbox>();
        analytics::Timings timings = analytics::Timings::current();
        timings.sendInterval = std::chrono::milliseconds(100);
        analytics::Timings::setCurrent(timings);
        m_server = std::make_unique<TestHttpServer>();
        QVERIFY(m_server->listen());
        analytics::Analytics::initializeWith(analytics::AnalyticsManagerConfiguration::create(
            QStringLiteral("REWARDS-TEST"), std::nullopt, m_server->baseUrl()));
        m_store = std::make_unique<FileStore>();
    }

    void cleanup()
    {
        m_sandbox.reset();
        m_server.reset();
        m_store.reset();
    }

    void newRewardIsSignalled()
    {
        save(nullptr, QStringLiteral("Burger run"));
        QTRY_COMPARE_WITH_TIMEOUT(recordsOfType(QStringLiteral("milestone.created")), 1, 5000);
        QCOMPARE(m_store->context()->fetchCount<Milestone>(), 1);
    }

    void editIsNotSignalled()
    {
        const auto milestone = makeMilestone(m_store->context());
        QVERIFY(m_store->context()->save());
        save(milestone, QStringLiteral("Pizza run"));
        // A marker after the edit: once it arrived, anything the edit sent would have arrived too.
        analytics::Analytics::send(QStringLiteral("test.marker"));
        QTRY_COMPARE_WITH_TIMEOUT(recordsOfType(QStringLiteral("test.marker")), 1, 5000);
        QCOMPARE(recordsOfType(QStringLiteral("milestone.created")), 0);
        QCOMPARE(milestone->name(), QStringLiteral("Pizza run"));
    }
};

QTEST_MAIN(TestRewardAnalytics)
#include "tst_rewardanalytics.moc"
