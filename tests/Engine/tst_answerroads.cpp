#include "Support/LoopTestSupport.h"

#include "Base/Clock.h"
#include "Engine/ReminderPresentationService.h"
#include "Engine/SchedulerService.h"
#include "ScreenParts/ReminderListViewModel.h"
#include "Support/FakeNotificationCenter.h"

#include <QtTest>

using namespace looptest;

using Source = OccurrenceAnswer::Source;
using Outcome = OccurrenceAnswer::Outcome;
Q_DECLARE_METATYPE(ovlin::LogStatus)
Q_DECLARE_METATYPE(ovlin::OccurrenceAnswer::Source)
Q_DECLARE_METATYPE(ovlin::OccurrenceAnswer::Outcome)

namespace {

const QDate june10(2026, 6, 10);

QDateTime hm(const QString &text)
{
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm"));
    return at(june10, time.hour(), time.minute());
}

} // namespace

// The three places an occurrence is answered from (a list, a banner, a desktop notification) share one
// answer step; each keeps its own rule for an occurrence that is answered already.
class TestAnswerRoads : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    FakeNotificationCenter m_center;
    std::unique_ptr<FakeBannerPresenter> m_banners;
    FakeAppActivity m_activity;
    StoreContext *context() const { return m_store->mainContext(); }
    ReminderPresentationService &service() { return ReminderPresentationService::shared(); }

    // A reminder due at 09:00 whose banner went up at 09:00, answered (or not) at 09:00:20 by `earlier`.
    std::shared_ptr<Reminder> answeredEarlier(const QString &earlier)
    {
        const auto reminder = makeReminder(context());
        if (!context()->save())
            qFatal("saving the reminder failed");
        Clock::setNow(hm("09:00"));
        service().start(m_store.get());
        if (!earlier.isEmpty()) {
            context()->insert(addLog(reminder, hm("09:00").addSecs(20), earlier));
            if (!context()->save())
                qFatal("saving the earlier answer failed");
        }
        QCoreApplication::processEvents(); // the store's change notification
        return reminder;
    }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        m_store = openStore();
        m_banners = std::make_unique<FakeBannerPresenter>();
        m_activity.activeWithWindow = false;
        SchedulerService::shared().setNotificationCenter(&m_center);
        service().setBannerPresenter(m_banners.get(), &m_activity);
        service().setNotificationCenter(&m_center);
    }

    void cleanup()
    {
        service().resetForTesting();
        SchedulerService::shared().setNotificationCenter(nullptr);
        m_store.reset();
        Clock::useSystemTime();
    }

    void entryPoints_data()
    {
        QTest::addColumn<QString>("earlier"); // the log already at 09:00; empty: none
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("added"); // the logs the answer at 09:05 adds
        QTest::addColumn<QString>("snoozed");   // the due time held back; empty: none

        // Open, or only snoozed: every place records the same answer for 09:00.
        for (const QString &earlier : {QString(), QStringLiteral("snoozed")}) {
            const QString open = earlier.isEmpty() ? QStringLiteral("open") : QStringLiteral("snoozed");
            QTest::addRow("%s: list Done", qPrintable(open))
                << earlier << "list Done" << QStringList{"09:00 completed"} << "";
            QTest::addRow("%s: banner Done", qPrintable(open))
                << earlier << "banner Done" << QStringList{"09:00 completed"} << "";
            QTest::addRow("%s: notification Done", qPrintable(open))
                << earlier << "notification Done" << QStringList{"09:00 completed"} << "";
            QTest::addRow("%s: list Skip", qPrintable(open))
                << earlier << "list Skip" << QStringList{"09:00 skipped"} << "";
            QTest::addRow("%s: banner Skip", qPrintable(open))
                << earlier << "banner Skip" << QStringList{"09:00 skipped"} << "";
            QTest::addRow("%s: banner snooze", qPrintable(open))
                << earlier << "banner snooze" << QStringList{"09:00 snoozed"} << "09:00";
            QTest::addRow("%s: notification snooze", qPrintable(open))
                << earlier << "notification snooze" << QStringList{"09:00 snoozed"} << "09:00";
        }
        // Answered already: a list answers what is still open (nothing: now), a banner writes nothing, a
        // notification's Done writes only when no completion is there yet, its snooze always.
        for (const QString &earlier : {QStringLiteral("skipped"), QStringLiteral("missed")}) {
            QTest::addRow("%s: list Done", qPrintable(earlier))
                << earlier << "list Done" << QStringList{"09:05 completed"} << "";
            QTest::addRow("%s: banner Done", qPrintable(earlier)) << earlier << "banner Done" << QStringList{} << "";
            QTest::addRow("%s: notification Done", qPrintable(earlier))
                << earlier << "notification Done" << QStringList{"09:00 completed"} << "";
            QTest::addRow("%s: banner snooze", qPrintable(earlier))
                << earlier << "banner snooze" << QStringList{} << "";
        }
        QTest::newRow("completed: list Done") << "completed"
                                              << "list Done" << QStringList{"09:05 completed"} << "";
        QTest::newRow("completed: banner Done") << "completed"
                                                << "banner Done" << QStringList{} << "";
        QTest::newRow("completed: notification Done") << "completed"
                                                      << "notification Done" << QStringList{} << "";
        QTest::newRow("completed: notification snooze")
            << "completed"
            << "notification snooze" << QStringList{"09:00 snoozed"} << "09:05";
    }

    void entryPoints()
    {
        QFETCH(QString, earlier);
        QFETCH(QString, entry);
        QFETCH(QStringList, added);
        QFETCH(QString, snoozed);

        const auto reminder = answeredEarlier(earlier);
        QCOMPARE(m_banners->shown.size(), 1);
        const QStringList before = logLines(*reminder);
        Clock::setNow(hm("09:05"));

        ReminderListViewModel list(context());
        list.setReminders({reminder});
        const QString action = entry.section(QLatin1Char(' '), 1);
        if (entry == "list Done")
            list.complete(reminder, false);
        else if (entry == "list Skip")
            list.skip(reminder);
        else if (entry.startsWith("banner"))
            QVERIFY(m_banners->press(action == "snooze" ? QStringLiteral("In 15 min") : action));
        else
            SchedulerService::shared().handleNotificationResponse(reminder->id(),
                                                                  action == "snooze"
                                                                      ? SchedulerService::snoozeActionIdentifier
                                                                      : SchedulerService::completeActionIdentifier,
                                                                  hm("09:00"), *context());

        QCOMPARE(logLines(*reminder), before + added);
        QVERIFY(!context()->hasChanges());
        if (!added.isEmpty() && added.last().endsWith("completed"))
            QCOMPARE(reminder->logs().last()->completedAt(), std::optional(hm("09:05")));
        const QStringList held = snoozed.isEmpty()
                                     ? QStringList{}
                                     : QStringList{ReminderPresentationService::occurrenceKey(*reminder, hm(snoozed))};
        QCOMPARE(service().snoozedOccurrences().keys(), held);
    }

    // The answer step hands back the occurrence it placed and what became of the answer.
    void answerReportsItsOccurrence_data()
    {
        QTest::addColumn<Source>("source");
        QTest::addColumn<LogStatus>("status");
        QTest::addColumn<QString>("named"); // the time the answer names; empty: none
        QTest::addColumn<QString>("earlier");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QString>("occurrence");
        QTest::addColumn<QString>("held");

        QTest::newRow("list: earliest open") << Source::list << LogStatus::completed << ""
                                             << "" << Outcome::recorded << "09:00"
                                             << "09:00";
        QTest::newRow("list: nothing open") << Source::list << LogStatus::completed << ""
                                            << "completed" << Outcome::recorded << "09:05"
                                            << "09:05";
        QTest::newRow("banner: answered elsewhere") << Source::banner << LogStatus::skipped << "09:00"
                                                    << "completed" << Outcome::redundant << "09:00"
                                                    << "09:00";
        QTest::newRow("notification Done after a skip") << Source::notification << LogStatus::completed << "09:00"
                                                        << "skipped" << Outcome::recorded << "09:00"
                                                        << "09:00";
        QTest::newRow("notification snooze late") << Source::notification << LogStatus::snoozed << "09:01"
                                                  << "" << Outcome::recorded << "09:01"
                                                  << "09:00";
    }

    void answerReportsItsOccurrence()
    {
        QFETCH(Source, source);
        QFETCH(LogStatus, status);
        QFETCH(QString, named);
        QFETCH(QString, earlier);
        QFETCH(Outcome, outcome);
        QFETCH(QString, occurrence);
        QFETCH(QString, held);

        const auto reminder = answeredEarlier(earlier);
        Clock::setNow(hm("09:05"));
        const OccurrenceAnswer answer =
            service().answer({.source = source,
                              .status = status,
                              .reminder = reminder,
                              .answeredAt = Clock::now(),
                              .at = named.isEmpty() ? std::nullopt : std::optional(hm(named)),
                              .snoozeMinutes = 10},
                             context());

        QCOMPARE(answer.outcome, outcome);
        QCOMPARE(answer.occurrence.scheduledAt, hm(occurrence));
        QCOMPARE(answer.occurrence.key, ReminderPresentationService::occurrenceKey(*reminder, hm(occurrence)));
        QCOMPARE(answer.held.scheduledAt, hm(held));
    }

    void answerForAHabitThatIsGone()
    {
        const auto reminder = answeredEarlier({});
        context()->remove(reminder);
        QVERIFY(context()->save());
        for (const Source source : {Source::list, Source::banner, Source::notification}) {
            const OccurrenceAnswer answer = service().answer(
                {.source = source, .reminder = reminder, .answeredAt = Clock::now(), .at = hm("09:00")}, context());
            QCOMPARE(answer.outcome, Outcome::gone);
        }
        // A banner whose store was closed only closes.
        const auto other = makeReminder(context());
        const OccurrenceAnswer closed = service().answer(
            {.source = Source::banner, .reminder = other, .answeredAt = Clock::now(), .at = hm("09:00")}, nullptr);
        QCOMPARE(closed.outcome, Outcome::gone);
        QCOMPARE(context()->fetchCount<ReminderLog>(), 0);
    }

    void answerWithoutItsTimeIsDatedNow()
    {
        const auto reminder = answeredEarlier(QStringLiteral("completed"));
        Clock::setNow(hm("09:05"));
        const OccurrenceAnswer answer = service().answer({.reminder = reminder}, context());
        QCOMPARE(answer.outcome, Outcome::recorded);
        QCOMPARE(answer.answeredAt, hm("09:05"));
        QCOMPARE(logLines(*reminder).last(), QStringLiteral("09:05 completed"));
    }
};

QTEST_GUILESS_MAIN(TestAnswerRoads)
#include "tst_answerroads.moc"
