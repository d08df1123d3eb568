#include "Banners/CelebrationManager.h"
#include "Banners/VirtualTimerSource.h"
#include "CelebrationTestSupport.h"
#include "Copy/CopyEngine.h"

#include <QPointer>
#include <QtTest>

using namespace ovlin;

namespace {

// 2024-03-13 is a Wednesday.
const QDateTime kStart(QDate(2024, 3, 13), QTime(10, 0));

QString describe(const CelebrationEvent &e)
{
    switch (e.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked:
        return QStringLiteral("reward:%1/%2").arg(e.rewardName).arg(e.requiredDays);
    case CelebrationEvent::Kind::streakMilestone: return QStringLiteral("streak:%1").arg(e.days);
    case CelebrationEvent::Kind::allDailyDone: return QStringLiteral("allDone");
    }
    return {};
}

// What one pass celebrates: the event put on screen, then the queue.
QStringList celebrated(const CelebrationManager &m)
{
    QStringList out;
    if (m.activeEvent())
        out << describe(*m.activeEvent());
    for (const auto &e : m.queue())
        out << describe(e);
    return out;
}

struct Shown
{
    qint64 atMs;
    QString event;
    QString copy;
};

} // namespace

class TestCelebrationManager : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void queueAfterCheckOff_data();
    void queueAfterCheckOff();
    void twoChecksWithoutRecordCelebrateNoReward();
    void sameStreakQueuesAgainOnNextCheckOff();

    void threeEventsShownOneAfterAnother();
    void equalEventDismissedByPreviousTimer_data();
    void equalEventDismissedByPreviousTimer();
    void phraseNotRepeatedWithinOneTrigger_data();
    void phraseNotRepeatedWithinOneTrigger();
    void checkOffDuringGapShowsAtOnce();
    void doubleDismissShowsNextOnce();
    void timersOfADestroyedManagerDoNothing();
    void clockTimerSourceWaitsForTheClock();

private:
    std::unique_ptr<ScopedFakeClock> m_clock;
    std::shared_ptr<VirtualTimerSource> m_timers;
    std::unique_ptr<CopyEngine> m_copy;
    std::unique_ptr<CelebrationManager> m_manager;
    QList<Shown> m_shown;
    QList<qint64> m_dismissed;
    qint64 m_t0 = 0;
};

void TestCelebrationManager::init()
{
    m_clock = std::make_unique<ScopedFakeClock>(kStart);
    m_t0 = Clock::nowMSecs();
    m_timers = std::make_shared<VirtualTimerSource>();
    m_copy = std::make_unique<CopyEngine>(std::make_shared<SeededRandomSource>(42));
    m_manager = std::make_unique<CelebrationManager>();
    m_manager->setTimerSource(m_timers);
    m_manager->setCopyEngine(m_copy.get());
    m_shown.clear();
    m_dismissed.clear();
    connect(m_manager.get(), &CelebrationManager::activeEventChanged, this, [this] {
        const qint64 at = Clock::nowMSecs() - m_t0;
        if (const auto &e = m_manager->activeEvent())
            m_shown.append({at, describe(*e), m_manager->celebrationCopy()});
        else
            m_dismissed.append(at);
    });
}

void TestCelebrationManager::cleanup()
{
    m_manager.reset();
    m_copy.reset();
    m_timers.reset();
    m_clock.reset();
}

void TestCelebrationManager::queueAfterCheckOff_data()
{
    // Rewards: "text/days/status before/status after", in list order.
    QTest::addColumn<QStringList>("rewards");
    QTest::addColumn<int>("streak");
    QTest::addColumn<int>("scheduledToday");
    QTest::addColumn<int>("completedToday");
    QTest::addColumn<bool>("withUnscheduled");
    QTest::addColumn<QStringList>("expected");

    const QStringList none;
    QTest::newRow("reward earned suppresses all-done, not the streak")
        << QStringList{"Shoes/7/active/achieved"} << 14 << 3 << 3 << false
        << QStringList{"reward:Shoes/7", "streak:14"};
    QTest::newRow("rewards in list order, then the streak")
        << QStringList{"Book/3/active/achieved", "Spa/30/active/active", "Shoes/7/active/achieved"} << 7 << 0 << 0
        << false << QStringList{"reward:Book/3", "reward:Shoes/7", "streak:7"};
    QTest::newRow("already achieved is not celebrated again")
        << QStringList{"Shoes/7/achieved/achieved"} << 0 << 0 << 0 << false << none;
    QTest::newRow("already achieved does not hold back all-done")
        << QStringList{"Shoes/7/achieved/achieved"} << 0 << 2 << 2 << false << QStringList{"allDone"};
    QTest::newRow("failed before is not celebrated")
        << QStringList{"Shoes/7/failed/achieved"} << 0 << 0 << 0 << false << none;
    QTest::newRow("unknown status after evaluation is never achieved")
        << QStringList{"Shoes/7/active/Achieved", "Book/3/active/done"} << 0 << 0 << 0 << false << none;
    QTest::newRow("unknown status before counts as open")
        << QStringList{"Shoes/7/paused/achieved"} << 0 << 0 << 0 << false << QStringList{"reward:Shoes/7"};
    QTest::newRow("empty reward text and zero days")
        << QStringList{"/0/active/achieved"} << 0 << 0 << 0 << false << QStringList{"reward:/0"};

    for (int days : CelebrationManager::streakMilestones)
        QTest::addRow("streak %d", days) << none << days << 0 << 0 << false
                                         << QStringList{QStringLiteral("streak:%1").arg(days)};
    for (int days : {0, 8})
        QTest::addRow("streak %d queues nothing", days) << none << days << 0 << 0 << false << none;

    QTest::newRow("3 of 3 done") << none << 0 << 3 << 3 << false << QStringList{"allDone"};
    QTest::newRow("4 of 3 done") << none << 0 << 3 << 4 << false << QStringList{"allDone"};
    QTest::newRow("2 of 3 done") << none << 0 << 3 << 2 << false << none;
    QTest::newRow("none scheduled") << none << 0 << 0 << 2 << false << none;
    QTest::newRow("none scheduled, only inactive and other days") << none << 0 << 0 << 2 << true << none;
    QTest::newRow("inactive and other days do not count") << none << 0 << 1 << 1 << true << QStringList{"allDone"};
    QTest::newRow("streak and all done") << none << 21 << 2 << 2 << false << QStringList{"streak:21", "allDone"};
}

void TestCelebrationManager::queueAfterCheckOff()
{
    QFETCH(QStringList, rewards);
    QFETCH(int, streak);
    QFETCH(int, scheduledToday);
    QFETCH(int, completedToday);
    QFETCH(bool, withUnscheduled);
    QFETCH(QStringList, expected);

    QList<std::shared_ptr<Milestone>> milestones;
    QStringList after;
    for (const QString &entry : rewards) {
        const QStringList parts = entry.split(QLatin1Char('/'));
        milestones << makeReward(parts[0], parts[1].toLongLong(), parts[2]);
        after << parts[3];
    }
    QList<std::shared_ptr<Reminder>> reminders;
    for (int i = 0; i < scheduledToday; ++i)
        reminders << makeReminder(QStringLiteral("Habit %1").arg(i), everyDay());
    if (withUnscheduled) {
        reminders << makeReminder(QStringLiteral("Paused"), everyDay(), false);
        reminders << makeReminder(QStringLiteral("Mondays"), {Weekday::monday});
    }
    QList<std::shared_ptr<Reminder>> completed;
    for (int i = 0; i < completedToday; ++i)
        completed << makeReminder(QStringLiteral("Done %1").arg(i), everyDay());

    m_manager->recordPendingMilestones(milestones);
    for (int i = 0; i < milestones.size(); ++i)
        milestones[i]->setStatusRaw(after[i]);
    m_manager->checkForCelebrations(reminders, completed, milestones, streak);

    QCOMPARE(celebrated(*m_manager), expected);
    QVERIFY(m_manager->pendingMilestoneIDs().isEmpty());
    QCOMPARE(m_manager->activeEvent().has_value(), !expected.isEmpty());
}

void TestCelebrationManager::twoChecksWithoutRecordCelebrateNoReward()
{
    const auto reward = makeReward(QStringLiteral("Shoes"), 7, QStringLiteral("active"));
    m_manager->recordPendingMilestones({reward});
    QCOMPARE(m_manager->pendingMilestoneIDs(), QSet<QUuid>{reward->id()});
    m_manager->checkForCelebrations({}, {}, {reward}, 0);
    QVERIFY(celebrated(*m_manager).isEmpty());

    reward->setStatusRaw(QStringLiteral("achieved"));
    m_manager->checkForCelebrations({}, {}, {reward}, 0);
    QVERIFY(celebrated(*m_manager).isEmpty());
}

void TestCelebrationManager::sameStreakQueuesAgainOnNextCheckOff()
{
    m_manager->checkForCelebrations({}, {}, {}, 7);
    QCOMPARE(celebrated(*m_manager), QStringList{"streak:7"});
    m_manager->checkForCelebrations({}, {}, {}, 7);
    QCOMPARE(celebrated(*m_manager), (QStringList{"streak:7", "streak:7"}));
    m_manager->checkForCelebrations({}, {}, {}, 8);
    QCOMPARE(m_manager->queue().size(), 1);
}

void TestCelebrationManager::threeEventsShownOneAfterAnother()
{
    const auto a = makeReward(QStringLiteral("Book"), 3, QStringLiteral("active"));
    const auto b = makeReward(QStringLiteral("Shoes"), 7, QStringLiteral("active"));
    m_manager->recordPendingMilestones({a, b});
    a->setStatusRaw(QStringLiteral("achieved"));
    b->setStatusRaw(QStringLiteral("achieved"));
    m_manager->checkForCelebrations({}, {}, {a, b}, 7);

    m_timers->advance(20000);

    QCOMPARE(m_shown.size(), 3);
    QCOMPARE(m_shown[0].event, QStringLiteral("reward:Book/3"));
    QCOMPARE(m_shown[1].event, QStringLiteral("reward:Shoes/7"));
    QCOMPARE(m_shown[2].event, QStringLiteral("streak:7"));
    QCOMPARE(m_shown[0].atMs, 0);
    QCOMPARE(m_shown[1].atMs, 5400);
    QCOMPARE(m_shown[2].atMs, 10800);
    QCOMPARE(m_dismissed, (QList<qint64>{5000, 10400, 15800}));
    for (const Shown &s : m_shown)
        QVERIFY(!s.copy.isEmpty());
    // The two rewards share a trigger: the second never repeats the first's phrase.
    QVERIFY(m_shown[0].copy != m_shown[1].copy);
    QVERIFY(!m_manager->activeEvent());
    QVERIFY(m_manager->queue().isEmpty());
    // The phrase stays after the last dismissal.
    QCOMPARE(m_manager->celebrationCopy(), m_shown[2].copy);
    QCOMPARE(m_timers->pendingCount(), 0);
}

void TestCelebrationManager::equalEventDismissedByPreviousTimer_data()
{
    QTest::addColumn<int>("secondStreak");
    QTest::addColumn<bool>("secondIsAllDone");
    QTest::addColumn<qint64>("secondDismissedAt");
    // The first card's own timer finds an equal event on screen and dismisses it 3.6 s after it appeared.
    QTest::newRow("equal streak") << 7 << false << qint64(5000);
    QTest::newRow("different streak") << 14 << false << qint64(6400);
    QTest::newRow("different case") << 0 << true << qint64(6400);
}

void TestCelebrationManager::equalEventDismissedByPreviousTimer()
{
    QFETCH(int, secondStreak);
    QFETCH(bool, secondIsAllDone);
    QFETCH(qint64, secondDismissedAt);

    m_manager->checkForCelebrations({}, {}, {}, 7);
    const auto reminder = makeReminder(QStringLiteral("Water"), everyDay());
    if (secondIsAllDone)
        m_manager->checkForCelebrations({reminder}, {reminder}, {}, secondStreak);
    else
        m_manager->checkForCelebrations({}, {}, {}, secondStreak);
    QCOMPARE(m_manager->queue().size(), 1);

    m_timers->advance(1000);
    m_manager->dismiss(); // the scrim, 1 s in
    m_timers->advance(9000);

    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_shown[1].atMs, 1400);
    QCOMPARE(m_dismissed.size(), 2);
    QCOMPARE(m_dismissed[0], 1000);
    QCOMPARE(m_dismissed[1], secondDismissedAt);
}

void TestCelebrationManager::phraseNotRepeatedWithinOneTrigger_data()
{
    QTest::addColumn<quint64>("seed");
    for (quint64 seed : {1ull, 17ull, 12345ull})
        QTest::addRow("seed %llu", seed) << seed;
}

void TestCelebrationManager::phraseNotRepeatedWithinOneTrigger()
{
    QFETCH(quint64, seed);
    m_copy->setRandomSource(std::make_shared<SeededRandomSource>(seed));
    const auto reminder = makeReminder(QStringLiteral("Water"), everyDay());
    for (int i = 0; i < 6; ++i)
        m_manager->checkForCelebrations({reminder}, {reminder}, {}, 0);
    m_timers->advance(60000);
    QCOMPARE(m_shown.size(), 6);
    const QStringList pool = CopyEngine::pool(CopyTrigger::celebrationAllDailyDone);
    for (int i = 0; i < m_shown.size(); ++i) {
        QVERIFY(pool.contains(m_shown[i].copy));
        if (i > 0)
            QVERIFY2(m_shown[i].copy != m_shown[i - 1].copy, qPrintable(m_shown[i].copy));
    }
    QCOMPARE(m_copy->lastShown(CopyTrigger::celebrationAllDailyDone), std::optional<QString>(m_shown.last().copy));
}

void TestCelebrationManager::checkOffDuringGapShowsAtOnce()
{
    m_manager->checkForCelebrations({}, {}, {}, 3);
    m_timers->advance(2000);
    m_manager->dismiss();
    m_timers->advance(100); // still inside the fade-out and the gap
    m_manager->checkForCelebrations({}, {}, {}, 7);
    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_shown[1].atMs, 2100);
    QCOMPARE(m_shown[1].event, QStringLiteral("streak:7"));
    // The gap's showNext finds the new card on screen and leaves it.
    m_timers->advance(400);
    QCOMPARE(m_shown.size(), 2);
    QVERIFY(m_manager->activeEvent());
    m_timers->advance(5000);
    QCOMPARE(m_dismissed.last(), 7100);
}

void TestCelebrationManager::doubleDismissShowsNextOnce()
{
    m_manager->checkForCelebrations({}, {}, {}, 3);
    m_manager->checkForCelebrations({}, {}, {}, 7);
    m_manager->checkForCelebrations({}, {}, {}, 14);
    m_timers->advance(1000);
    m_manager->dismiss();
    m_timers->advance(100);
    m_manager->dismiss(); // the button pressed during the fade-out
    m_timers->advance(400);
    QCOMPARE(m_shown.size(), 2);
    QCOMPARE(m_shown[1].event, QStringLiteral("streak:7"));
    QCOMPARE(m_shown[1].atMs, 1400);
    QCOMPARE(m_manager->queue().size(), 1);
}

void TestCelebrationManager::timersOfADestroyedManagerDoNothing()
{
    m_manager->checkForCelebrations({}, {}, {}, 3);
    m_manager->checkForCelebrations({}, {}, {}, 7);
    m_manager->dismiss();
    QVERIFY(m_timers->pendingCount() >= 2);
    m_manager.reset();
    m_timers->advance(10000);
    QCOMPARE(m_timers->pendingCount(), 0);
}

void TestCelebrationManager::clockTimerSourceWaitsForTheClock()
{
    ClockTimerSource source;
    int runs = 0;
    auto context = std::make_unique<QObject>();
    source.start(20, context.get(), [&] { ++runs; });
    // The event loop's wait is over, but the pinned Clock has not moved.
    QTest::qWait(60);
    QCOMPARE(runs, 0);
    Clock::advanceMSecs(20);
    QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 1000);

    // A Clock set far back does not hold the handler longer than one more delay.
    source.start(20, context.get(), [&] { ++runs; });
    Clock::advanceMSecs(-3600 * 1000);
    QTRY_COMPARE_WITH_TIMEOUT(runs, 2, 1000);

    // Nothing runs once the context is gone.
    source.start(10, context.get(), [&] { ++runs; });
    context.reset();
    Clock::advanceMSecs(1000);
    QTest::qWait(40);
    QCOMPARE(runs, 2);
}

QTEST_MAIN(TestCelebrationManager)
#include "tst_celebrationmanager.moc"
