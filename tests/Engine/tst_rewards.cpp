#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "Engine/MilestoneProgressService.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Support/FakeNotificationCenter.h"

#include <QtTest>

#include <limits>

using namespace ovlin;
using namespace enginetest;

Q_DECLARE_METATYPE(ovlin::MilestoneStatus)
Q_DECLARE_METATYPE(ovlin::CopyTrigger)
Q_DECLARE_METATYPE(ovlin::RewardProgress)

namespace {

const QDate today(2026, 6, 10);

} // namespace

class TestRewards : public QObject
{
    Q_OBJECT

private:
    FakeNotificationCenter m_center;
    std::unique_ptr<StoreContainer> m_store;
    QList<std::shared_ptr<Reminder>> m_reminders;
    QList<std::shared_ptr<ReminderLog>> m_logs;

    StoreContext *context() const { return m_store->mainContext(); }
    MilestoneProgressService &service() { return MilestoneProgressService::shared(); }

    std::shared_ptr<Milestone> reward(qint64 requireDays, double requirePercent = 0.8,
                                      std::optional<ReminderCategory> linked = std::nullopt)
    {
        auto milestone = Milestone::create(QUuid::createUuid(), QStringLiteral("Trip"),
                                           QStringLiteral("a weekend away"), requireDays, requirePercent, linked,
                                           at(today.addDays(-30), 9, 0), MilestoneStatus::active);
        context()->insert(milestone);
        return milestone;
    }

    // One character per day, yesterday first: y met, n not met, . no log.
    static void addDayLogs(const std::shared_ptr<Milestone> &milestone, const QString &history)
    {
        for (int i = 0; i < history.size(); ++i) {
            const QChar c = history.at(i);
            if (c != QLatin1Char('.'))
                MilestoneLog::create(QUuid::createUuid(), milestone, Days::startOfDay(today.addDays(-1 - i)),
                                     c == QLatin1Char('y') ? 1.0 : 0.0, c == QLatin1Char('y'));
        }
    }

    std::shared_ptr<Reminder> reminder(ReminderCategory category = ReminderCategory::water, bool active = true)
    {
        const auto r = makeReminder(context(), {.category = category, .isActive = active});
        m_reminders << r;
        return r;
    }

    void log(const std::shared_ptr<Reminder> &r, LogStatus status, int dayOffset = 0, int hour = 9)
    {
        m_logs << addLog(r, at(today.addDays(dayOffset), hour, 0), status);
    }

    // Today's counted answers: `completed` completed ones and `others` snoozed ones.
    void todaysAnswers(int completed, int others)
    {
        const auto r = reminder();
        for (int i = 0; i < completed; ++i)
            log(r, LogStatus::completed, 0, 8 + i);
        for (int i = 0; i < others; ++i)
            log(r, LogStatus::snoozed, 0, 16 + i);
    }

    void evaluate(const std::shared_ptr<Milestone> &milestone, bool notify)
    {
        service().evaluate({milestone}, m_reminders, m_logs, *context(), notify);
    }

    std::shared_ptr<MilestoneLog> todaysLog(const Milestone &milestone)
    {
        std::shared_ptr<MilestoneLog> found;
        for (const auto &day : milestone.dailyLogs()) {
            if (Days::isSameDay(day->date(), at(today, 12, 0))) {
                if (found)
                    return nullptr; // more than one: a fault
                found = day;
            }
        }
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        NotificationCenter::setCurrent(&m_center);
        QCOMPARE(service().notificationCenter(), &m_center);
    }

    void cleanupTestCase() { NotificationCenter::setCurrent(nullptr); }

    void init()
    {
        resetSettings();
        Clock::setNow(at(today, 18, 0));
        m_store = openStore();
        m_reminders.clear();
        m_logs.clear();
        m_center.removeAllPendingRequests();
        m_center.clearRecords();
    }

    void cleanup()
    {
        m_logs.clear();
        m_reminders.clear();
        m_store.reset();
        Clock::useSystemTime();
    }

    void completionRate_data()
    {
        QTest::addColumn<QStringList>("reminders"); // category, or "paused <category>", or "odd" (text "Water")
        QTest::addColumn<QStringList>("logs");      // "<reminder index or x> <status> [day offset]"
        QTest::addColumn<QString>("linked");        // category text, or empty
        QTest::addColumn<double>("expected");

        QTest::newRow("three completed, one snoozed")
            << QStringList{"water", "meal"} << QStringList{"0 completed", "0 completed", "1 completed", "1 snoozed"}
            << QString() << 0.75;
        QTest::newRow("skipped and missed count against")
            << QStringList{"water"} << QStringList{"0 completed", "0 skipped", "0 missed", "0 snoozed"} << QString()
            << 0.25;
        QTest::newRow("linked general counts unknown categories")
            << QStringList{"water", "general", "odd"} << QStringList{"0 skipped", "1 completed", "2 skipped"}
            << "general" << 0.5;
        QTest::newRow("paused reminders, other days and orphans do not count")
            << QStringList{"water", "paused water"}
            << QStringList{"0 completed", "1 skipped", "0 skipped -1", "x skipped"} << QString() << 1.0;
    }

    void completionRate()
    {
        QFETCH(QStringList, reminders);
        QFETCH(QStringList, logs);
        QFETCH(QString, linked);
        QFETCH(double, expected);

        for (const QString &spec : reminders) {
            const bool paused = spec.startsWith(QStringLiteral("paused "));
            const QString name = paused ? spec.mid(7) : spec;
            const auto r = reminder(reminderCategoryFromRaw(name).value_or(ReminderCategory::general), !paused);
            if (name == QStringLiteral("odd"))
                r->setCategory(QStringLiteral("Water"));
        }
        for (const QString &spec : logs) {
            const QStringList parts = spec.split(QLatin1Char(' '));
            const bool orphan = parts.at(0) == QStringLiteral("x");
            const auto owner = orphan ? m_reminders.first() : m_reminders.at(parts.at(0).toInt());
            const auto entry = addLog(owner, at(today.addDays(parts.value(2).toInt()), 12, 0), parts.at(1));
            if (orphan)
                owner->removeLog(entry);
            m_logs << entry;
        }
        const auto milestone = reward(3);
        milestone->setLinkedCategoryRaw(linked.isEmpty() ? std::nullopt : std::optional<QString>(linked));
        QCOMPARE(service().completionRate(*milestone, Days::startOfDay(today), m_reminders, m_logs), expected);
        QCOMPARE(service().completionRate(*milestone, at(today, 23, 0), m_reminders, m_logs), expected);
    }

    void thresholdEqualityMeets_data()
    {
        QTest::addColumn<double>("threshold");
        QTest::addColumn<bool>("met");
        QTest::newRow("0.75 meets 0.75") << 0.75 << true;
        QTest::newRow("0.8 is not met by 0.75") << 0.8 << false;
    }

    void thresholdEqualityMeets()
    {
        QFETCH(double, threshold);
        QFETCH(bool, met);
        todaysAnswers(3, 1);
        const auto milestone = reward(5, threshold);
        evaluate(milestone, false);
        const auto day = todaysLog(*milestone);
        QVERIFY(day);
        QCOMPARE(day->completionRate(), 0.75);
        QCOMPARE(day->didMeetThreshold(), met);
    }

    void evaluatedTwiceKeepsOneLog()
    {
        const auto r = reminder();
        log(r, LogStatus::skipped, 0, 8);
        const auto milestone = reward(5);
        evaluate(milestone, false);
        QCOMPARE(todaysLog(*milestone)->completionRate(), 0.0);
        log(r, LogStatus::completed, 0, 9);
        evaluate(milestone, false);
        QCOMPARE(milestone->dailyLogs().size(), 1);
        QCOMPARE(todaysLog(*milestone)->completionRate(), 0.5);
        QCOMPARE(context()->fetchCount<MilestoneLog>(), qsizetype(1));
    }

    void achievedOnTheFirstMetDay()
    {
        todaysAnswers(1, 0);
        const auto milestone = reward(1);
        evaluate(milestone, false);
        QCOMPARE(milestone->statusRaw(), QStringLiteral("achieved"));
        QCOMPARE(milestone->dailyLogs().size(), 1);

        Clock::setNow(at(today.addDays(1), 9, 0));
        evaluate(milestone, true);
        QCOMPARE(milestone->dailyLogs().size(), 1);
        QVERIFY(m_center.operations().isEmpty());
    }

    void failure_data()
    {
        QTest::addColumn<bool>("grace");
        QTest::addColumn<QString>("history"); // yesterday first
        QTest::addColumn<bool>("todayMet");
        QTest::addColumn<MilestoneStatus>("expected");

        QTest::newRow("yesterday missed, grace off") << false << "ny" << true << MilestoneStatus::failed;
        QTest::newRow("yesterday missed, grace on") << true << "ny" << true << MilestoneStatus::active;
        QTest::newRow("a gap day never fails") << false << ".y" << false << MilestoneStatus::active;
    }

    void failure()
    {
        QFETCH(bool, grace);
        QFETCH(QString, history);
        QFETCH(bool, todayMet);
        QFETCH(MilestoneStatus, expected);

        resetSettings({{QStringLiteral("gracePeriodEnabled"), grace}});
        todaysAnswers(todayMet ? 1 : 0, todayMet ? 0 : 1);
        const auto milestone = reward(5);
        addDayLogs(milestone, history);
        QCOMPARE(service().hasFailed(*milestone, Days::startOfDay(today)), expected == MilestoneStatus::failed);
        evaluate(milestone, false);
        QCOMPARE(milestone->status(), expected);
    }

    void announcements_data()
    {
        QTest::addColumn<qint64>("requireDays");
        QTest::addColumn<QString>("history");
        QTest::addColumn<bool>("todayMet");
        QTest::addColumn<bool>("grace");
        QTest::addColumn<QString>("title"); // empty: nothing posted
        QTest::addColumn<CopyTrigger>("trigger");
        QTest::addColumn<MilestoneStatus>("status");
        QTest::addColumn<qint64>("metDays");

        QTest::newRow("almost there") << qint64(10) << "yyyyyyy" << true << true << "Almost there."
                                      << CopyTrigger::milestoneAlmostThere << MilestoneStatus::active << qint64(8);
        QTest::newRow("today not met") << qint64(10) << "yyyyyyy" << false << true << QString()
                                       << CopyTrigger::milestoneProgress << MilestoneStatus::active << qint64(7);
        QTest::newRow("earned") << qint64(3) << "yy" << true << true << "Reward earned."
                                << CopyTrigger::milestoneUnlocked << MilestoneStatus::achieved << qint64(3);
        QTest::newRow("dropped") << qint64(10) << "nyyy" << true << false << "You dropped it."
                                 << CopyTrigger::milestoneFailed << MilestoneStatus::failed << qint64(1);
        QTest::newRow("requireDays 0 is earned at once")
            << qint64(0) << "" << false << true << "Reward earned." << CopyTrigger::milestoneUnlocked
            << MilestoneStatus::achieved << qint64(0);
    }

    void announcements()
    {
        QFETCH(qint64, requireDays);
        QFETCH(QString, history);
        QFETCH(bool, todayMet);
        QFETCH(bool, grace);
        QFETCH(QString, title);
        QFETCH(CopyTrigger, trigger);
        QFETCH(MilestoneStatus, status);
        QFETCH(qint64, metDays);

        resetSettings({{QStringLiteral("gracePeriodEnabled"), grace}});
        todaysAnswers(todayMet ? 1 : 0, todayMet ? 0 : 1);

        // Without announcements the records change in the same way and nothing is posted.
        const auto quiet = reward(requireDays);
        addDayLogs(quiet, history);
        evaluate(quiet, false);
        QCOMPARE(quiet->status(), status);
        QVERIFY(m_center.operations().isEmpty());

        const auto milestone = reward(requireDays);
        addDayLogs(milestone, history);
        evaluate(milestone, true);
        QCOMPARE(milestone->status(), status);

        const QList<NotificationRequest> posted = m_center.pendingRequests();
        if (title.isEmpty()) {
            QVERIFY(posted.isEmpty());
            return;
        }
        QCOMPARE(posted.size(), 1);
        const NotificationRequest &request = posted.first();
        QCOMPARE(request.content.title, title);
        QVERIFY(request.identifier.startsWith(QStringLiteral("milestone-")));
        QVERIFY(parseUuid(request.identifier.mid(10)));
        QCOMPARE(request.identifier.mid(10), request.identifier.mid(10).toUpper());
        QCOMPARE(request.trigger, NotificationTrigger(TimeIntervalTrigger{1.0}));
        QCOMPARE(request.content.sound, std::optional<NotificationSound>(NotificationSound::defaultSound()));
        QVERIFY(request.content.categoryIdentifier.isEmpty());
        QVERIFY(request.content.userInfo.isEmpty());

        const qint64 remaining = std::max<qint64>(requireDays - metDays, 0);
        const CopyContext expected{.rewardName = QStringLiteral("a weekend away"),
                                   .remaining = remaining,
                                   .current = metDays,
                                   .required = requireDays,
                                   .progressPercent = metDays * 100 / std::max<qint64>(requireDays, 1)};
        QVERIFY2(CopyEngine::fillTexts(CopyEngine::pool(trigger), expected).contains(request.content.body),
                 qPrintable(request.content.body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), std::optional<QString>(request.content.body));
    }

    void progressQueries_data()
    {
        QTest::addColumn<qint64>("requireDays");
        QTest::addColumn<QString>("history");   // yesterday first
        QTest::addColumn<QString>("todaysLog"); // y, n or empty: none
        QTest::addColumn<bool>("liveMet");
        QTest::addColumn<bool>("grace");
        QTest::addColumn<RewardProgress>("expected");
        QTest::addColumn<qint64>("storedDaysMet");

        QTest::newRow("4 of 10") << qint64(10) << "yyyy" << QString() << false << true
                                 << RewardProgress{4, 6, MilestoneStatus::active, 0.4} << qint64(4);
        QTest::newRow("no day logs") << qint64(10) << QString() << QString() << false << true
                                     << RewardProgress{0, 10, MilestoneStatus::active, 0.0} << qint64(0);
        QTest::newRow("lowest requireDays")
            << std::numeric_limits<qint64>::min() << "y"
            << "y" << true << true << RewardProgress{2, 0, MilestoneStatus::achieved, 1.0} << qint64(2);
    }

    void progressQueries()
    {
        QFETCH(qint64, requireDays);
        QFETCH(QString, history);
        QFETCH(QString, todaysLog);
        QFETCH(bool, liveMet);
        QFETCH(bool, grace);
        QFETCH(RewardProgress, expected);
        QFETCH(qint64, storedDaysMet);

        resetSettings({{QStringLiteral("gracePeriodEnabled"), grace}});
        todaysAnswers(liveMet ? 1 : 0, liveMet ? 0 : 1);
        const auto milestone = reward(requireDays);
        milestone->setStatusRaw(QStringLiteral("active"));
        addDayLogs(milestone, history);
        if (!todaysLog.isEmpty())
            MilestoneLog::create(QUuid::createUuid(), milestone, Days::startOfDay(today), 0.5,
                                 todaysLog == QStringLiteral("y"));
        const qsizetype before = context()->fetchCount<MilestoneLog>();

        QCOMPARE(service().progressFraction(*milestone, m_reminders, m_logs, at(today, 17, 0)), expected);
        QCOMPARE(service().daysMet(*milestone, at(today, 17, 0)), storedDaysMet);
        // Queries write nothing and post nothing.
        QCOMPARE(context()->fetchCount<MilestoneLog>(), before);
        QCOMPARE(milestone->statusRaw(), QStringLiteral("active"));
        QVERIFY(m_center.operations().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRewards)
#include "tst_rewards.moc"
