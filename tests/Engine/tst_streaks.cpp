#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Engine/ReminderBehaviorService.h"

#include <QtTest>

using namespace ovlin;
using namespace enginetest;

using Resolution = ReminderBehaviorService::Resolution;
Q_DECLARE_METATYPE(ReminderBehaviorService::Resolution)

namespace {

const QDate referenceDay(2026, 6, 10); // a Wednesday

// One character per day, the reference day first, then each day before it:
// c completed, s skipped, m missed, z snoozed only, . no log.
void addHistory(const std::shared_ptr<Reminder> &reminder, const QString &history, const QDate &reference,
                const QTime &time = QTime(9, 0))
{
    for (int i = 0; i < history.size(); ++i) {
        const QDate day = reference.addDays(-i);
        const QDateTime moment = at(day, time.hour(), time.minute());
        switch (history.at(i).toLatin1()) {
        case 'c': addLog(reminder, moment, LogStatus::completed); break;
        case 's': addLog(reminder, moment, LogStatus::skipped); break;
        case 'm': addLog(reminder, moment, LogStatus::missed); break;
        case 'z': addLog(reminder, moment, LogStatus::snoozed); break;
        default: break;
        }
    }
}

} // namespace

class TestStreaks : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    StoreContext *context() const { return m_store->mainContext(); }
    ReminderBehaviorService &service() { return ReminderBehaviorService::shared(); }

    std::shared_ptr<Reminder> reminderCreated(int daysAgo, ReminderSpec spec = {})
    {
        spec.createdAt = at(referenceDay.addDays(-daysAgo), 20, 15);
        return makeReminder(context(), spec);
    }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        Clock::setNow(at(referenceDay, 18, 0));
        m_store = openStore();
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void walk_data()
    {
        QTest::addColumn<QStringList>("histories"); // one per reminder
        QTest::addColumn<int>("createdDaysAgo");
        QTest::addColumn<bool>("grace");
        QTest::addColumn<qint64>("expected");

        QTest::newRow("today and yesterday, then an open day") << QStringList{"cc.ccc"} << 10 << true << qint64(2);
        QTest::newRow("created yesterday, today open") << QStringList{".c"} << 1 << true << qint64(1);
        QTest::newRow("open today neither counts nor breaks") << QStringList{".ccc"} << 3 << true << qint64(3);
        QTest::newRow("yesterday skipped, grace on") << QStringList{".sccc"} << 4 << true << qint64(4);
        QTest::newRow("yesterday skipped, grace off") << QStringList{".sccc"} << 4 << false << qint64(0);
        QTest::newRow("missed forgiven like skipped") << QStringList{"cmcc"} << 3 << true << qint64(4);
        QTest::newRow("two skips 3 days apart") << QStringList{"csccsccc"} << 7 << true << qint64(4);
        QTest::newRow("two skips 7 days apart") << QStringList{"csccccccscc"} << 10 << true << qint64(11);
        QTest::newRow("snoozed only on a past day ends it") << QStringList{"cczcc"} << 4 << true << qint64(2);
        QTest::newRow("days before creation never count") << QStringList{"cccccccc"} << 2 << true << qint64(3);
        QTest::newRow("one reminder open among completed ones")
            << QStringList{"cccc", "cc.c"} << 3 << true << qint64(2);
        QTest::newRow("completed outweighs a skip of the same day")
            << QStringList{"cccc", "cccc", "cccc"} << 3 << false << qint64(4);
    }

    void walk()
    {
        QFETCH(QStringList, histories);
        QFETCH(int, createdDaysAgo);
        QFETCH(bool, grace);
        QFETCH(qint64, expected);

        resetSettings({{QStringLiteral("gracePeriodEnabled"), grace}});
        QList<std::shared_ptr<Reminder>> reminders;
        for (const QString &history : histories) {
            const auto reminder = reminderCreated(createdDaysAgo);
            addHistory(reminder, history, referenceDay);
            reminders << reminder;
        }
        // A skipped log beside a completed one on the same day still completes the day.
        if (QTest::currentDataTag() == QByteArray("completed outweighs a skip of the same day"))
            addLog(reminders.first(), at(referenceDay.addDays(-1), 12, 0), LogStatus::skipped);
        QCOMPARE(service().currentStreak(reminders, std::nullopt, at(referenceDay, 23, 59)), expected);
    }

    void daysWithNothingDueArePassedOver()
    {
        // Not due on Tuesdays (calendar weekday 3): the open Tuesday is passed over.
        const auto reminder = reminderCreated(10, {.activeDaysRaw = {1, 3, 4, 5, 6, 7}});
        addHistory(reminder, QStringLiteral("c.ccccc"), referenceDay);
        QCOMPARE(referenceDay.addDays(-1).dayOfWeek(), 2);
        QCOMPARE(service().currentStreak({reminder}, std::nullopt, at(referenceDay, 12, 0)), qint64(6));

        // Paused: nothing is ever due, so nothing counts and nothing breaks.
        reminder->setIsActive(false);
        QCOMPARE(service().currentStreak({reminder}, std::nullopt, at(referenceDay, 12, 0)), qint64(0));
        const auto other = reminderCreated(10);
        addHistory(other, QStringLiteral("cc"), referenceDay);
        QCOMPARE(service().currentStreak({reminder, other}, std::nullopt, at(referenceDay, 12, 0)), qint64(2));
    }

    void categoryFilter()
    {
        const auto water = reminderCreated(3, {.title = QStringLiteral("Water"), .category = ReminderCategory::water});
        const auto meal = reminderCreated(10, {.title = QStringLiteral("Lunch"), .category = ReminderCategory::meal});
        const auto odd = reminderCreated(10, {.title = QStringLiteral("Odd")});
        odd->setCategory(QStringLiteral("Water")); // names no category: counts as general
        addHistory(water, QStringLiteral("cccccccccc"), referenceDay);
        addHistory(meal, QStringLiteral("c.cccc"), referenceDay);
        addHistory(odd, QStringLiteral("cccccs"), referenceDay);
        const QList<std::shared_ptr<Reminder>> all{water, meal, odd};
        const QDateTime now = at(referenceDay, 12, 0);

        // Water starts three days back: earlier water logs do not count.
        QCOMPARE(service().currentStreak(all, ReminderCategory::water, now), qint64(4));
        QCOMPARE(service().currentStreak(all, ReminderCategory::general, now), qint64(6));
        QCOMPARE(service().currentStreak(all, std::nullopt, now), qint64(1));
    }

    void newHabitDoesNotBreakTheStreak()
    {
        const auto old = reminderCreated(20);
        addHistory(old, QStringLiteral("cccc."), referenceDay);
        const auto fresh = reminderCreated(0);
        const QDateTime now = at(referenceDay, 21, 0);
        QCOMPARE(service().currentStreak({old, fresh}, std::nullopt, now), qint64(3));
        addLog(fresh, at(referenceDay, 20, 30), LogStatus::completed);
        QCOMPARE(service().currentStreak({old, fresh}, std::nullopt, now), qint64(4));
        // From its creation day on the new habit counts like any other.
        const auto yesterdays = reminderCreated(1);
        QCOMPARE(service().currentStreak({old, fresh, yesterdays}, std::nullopt, now), qint64(0));
    }

    void walkAcrossClockChanges_data()
    {
        QTest::addColumn<QDate>("reference");
        QTest::addColumn<QTime>("logTime");
        QTest::newRow("spring, late logs") << QDate(2026, 4, 1) << QTime(23, 30);
        QTest::newRow("spring, inside the gap") << QDate(2026, 4, 1) << QTime(2, 30);
        QTest::newRow("autumn, repeated hour") << QDate(2026, 10, 28) << QTime(2, 30);
    }

    void walkAcrossClockChanges()
    {
        QFETCH(QDate, reference);
        QFETCH(QTime, logTime);

        ReminderSpec spec;
        spec.createdAt = at(reference.addDays(-7), 0, 0);
        const auto reminder = makeReminder(context(), spec);
        addHistory(reminder, QStringLiteral("cccccccc"), reference, logTime);
        QCOMPARE(service().currentStreak({reminder}, std::nullopt, at(reference, 23, 59)), qint64(8));

        // A gap four days back ends the walk there, whatever the length of the days in between.
        const auto gapped = makeReminder(context(), spec);
        addHistory(gapped, QStringLiteral("cccc.ccc"), reference, logTime);
        QCOMPARE(service().currentStreak({gapped}, std::nullopt, at(reference, 0, 0)), qint64(4));
    }
};

QTEST_GUILESS_MAIN(TestStreaks)
#include "tst_streaks.moc"
