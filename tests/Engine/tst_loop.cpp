#include "Support/LoopTestSupport.h"

#include "Support/FakeNotificationCenter.h"

#include <QTimer>
#include <QtTest>

using namespace looptest;

using SnoozeEntry = ReminderPresentationService::SnoozeEntry;

namespace {

const QDate june10(2026, 6, 10); // a Wednesday

QDateTime hms(const QString &text, const QDate &day = june10)
{
    const QTime time = QTime::fromString(text, text.size() > 5 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    return at(day, time.hour(), time.minute(), time.second());
}

QString clockText()
{
    return Clock::now().toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

// The 15-second loop: attempts, snoozes, missed occurrences, where banners go and what their buttons do.
class TestLoop : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    FakeBannerPresenter m_banners;
    FakeAppActivity m_activity;
    FakeNotificationCenter m_notifications;

    StoreContext *context() const { return m_store->mainContext(); }
    ReminderPresentationService &service() { return ReminderPresentationService::shared(); }

    // Ticks every 15 seconds up to and including `end`, running `afterTick` after each pass.
    void runUntil(const QDateTime &end, const std::function<void()> &afterTick = {})
    {
        while (Clock::now() < end) {
            Clock::advance(15);
            service().tick();
            if (afterTick)
                afterTick();
        }
    }

    QStringList shownLines() const
    {
        QStringList lines;
        for (const auto &banner : m_banners.shown) {
            const auto reminders =
                context()->fetch<Reminder>([&](const Reminder &reminder) { return reminder.title() == banner.title; });
            const int attempt = reminders.isEmpty() ? 0 : attemptOfMessage(*reminders.first(), banner.message);
            lines << banner.at.toLocalTime().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') +
                         QString::number(attempt) + QLatin1Char(' ') + banner.actionTitles().join(QLatin1Char('|'));
        }
        return lines;
    }

private Q_SLOTS:
    void init()
    {
        resetSettings(
            {{QStringLiteral("eveningReminderEnabled"), false}, {QStringLiteral("dailySummaryEnabled"), false}});
        service().resetForTesting();
        service().setBannerPresenter(&m_banners, &m_activity);
        service().setNotificationCenter(&m_notifications);
        m_banners = FakeBannerPresenter();
        m_activity.activeWithWindow = true;
        m_notifications.removeAllPendingRequests();
        m_notifications.clearRecords();
        Clock::setNow(hms("08:00"));
        m_store = openStore();
    }

    void cleanup()
    {
        service().resetForTesting();
        m_banners = FakeBannerPresenter(); // drops the handlers before the store goes
        m_store.reset();
        Clock::useSystemTime();
    }

    // One day of a 09:00 habit in 15-second steps. Script lines: "HH:mm:ss <what>" runs after that pass.
    void simulatedDay_data()
    {
        QTest::addColumn<QString>("launch");
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("shown");    // "time attempt buttons"
        QTest::addColumn<QStringList>("logLines"); // "when due status"

        const QString three = QStringLiteral("Skip|In 15 min|Done");
        const QString last = QStringLiteral("I failed|Done");

        QTest::newRow("nobody answers") << "09:07:00" << QStringList{}
                                        << QStringList{"09:07:00 1 " + three, "09:15:00 2 " + three,
                                                       "09:30:00 3 " + last}
                                        << QStringList{};
        QTest::newRow("snoozed at attempt 1, then missed")
            << "09:00:00" << QStringList{"09:05:00 press In 15 min"}
            << QStringList{"09:00:00 1 " + three, "09:20:00 2 " + three}
            << QStringList{"09:05:00 09:00 snoozed", "09:40:00 09:00 missed"};
        QTest::newRow("snoozed at attempts 1 and 2, then missed")
            << "09:00:00" << QStringList{"09:05:00 press In 15 min", "09:25:00 press In 15 min"}
            << QStringList{"09:00:00 1 " + three, "09:20:00 2 " + three, "09:40:00 3 " + last}
            << QStringList{"09:05:00 09:00 snoozed", "09:25:00 09:00 snoozed", "09:45:00 09:00 missed"};
        QTest::newRow("snoozed from a notification")
            << "09:00:00" << QStringList{"09:03:00 notification snooze"}
            << QStringList{"09:00:00 1 " + three, "09:13:00 2 " + three} << QStringList{"09:33:00 09:00 missed"};
        QTest::newRow("I failed at attempt 3")
            << "09:00:00" << QStringList{"09:31:00 press I failed"}
            << QStringList{"09:00:00 1 " + three, "09:15:00 2 " + three, "09:30:00 3 " + last}
            << QStringList{"09:31:00 09:00 skipped"};
        QTest::newRow("launched after the window") << "09:35:00" << QStringList{} << QStringList{} << QStringList{};
    }

    void simulatedDay()
    {
        QFETCH(QString, launch);
        QFETCH(QStringList, script);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, logLines);

        ReminderSpec spec;
        spec.title = QStringLiteral("Glass of water");
        const auto reminder = makeReminder(context(), spec);
        QVERIFY(context()->save());

        QStringList written;
        qsizetype seenLogs = 0;
        const auto noteNewLogs = [&] {
            const auto logs = reminder->logs();
            for (; seenLogs < logs.size(); ++seenLogs) {
                const auto &log = logs.at(seenLogs);
                written << clockText() + QLatin1Char(' ') +
                               log->scheduledAt().toLocalTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ') +
                               log->statusRaw();
            }
        };
        const auto runScript = [&] {
            for (const QString &line : script) {
                if (!line.startsWith(clockText()))
                    continue;
                const QString what = line.mid(9);
                if (what.startsWith(QStringLiteral("press ")))
                    QVERIFY2(m_banners.press(what.mid(6)), qPrintable(line));
                else if (what == QStringLiteral("notification snooze"))
                    service().snooze(reminder, 10);
                else if (what == QStringLiteral("list done"))
                    service().resolveOccurrence(reminder, LogStatus::completed, context(),
                                                service().dueOccurrenceTime(*reminder, Clock::now()));
            }
            noteNewLogs();
        };

        Clock::setNow(hms(launch));
        service().start(m_store.get());
        runScript();
        runUntil(hms("23:59:45"), runScript);

        QCOMPARE(shownLines(), shown);
        QCOMPARE(written, logLines);
        QVERIFY(service().snoozedOccurrences().isEmpty());
    }

    void buttonRoles()
    {
        const auto reminder = makeReminder(context());
        Clock::setNow(hms("09:00"));
        service().start(m_store.get());
        runUntil(hms("09:30"));
        QCOMPARE(m_banners.shown.size(), 3);
        using Role = BannerAction::Role;
        const QList<QList<Role>> expected{{Role::destructive, Role::secondary, Role::primary},
                                          {Role::destructive, Role::secondary, Role::primary},
                                          {Role::destructive, Role::primary}};
        QSet<QUuid> ids;
        for (int i = 0; i < 3; ++i) {
            QList<Role> roles;
            for (const BannerAction &action : m_banners.shown.at(i).actions) {
                roles << action.role;
                ids.insert(action.id);
                QVERIFY(action.handler);
            }
            QCOMPARE(roles, expected.at(i));
        }
        QCOMPARE(ids.size(), 8); // a fresh identifier for every button
    }

    void whichRemindersArePresented_data()
    {
        QTest::addColumn<QList<qint64>>("activeDays");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QList<int>>("presentedOn"); // days of June 2026: 8 is a Monday ... 14 a Sunday

        QTest::newRow("every day") << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << true
                                   << QList<int>{8, 9, 10, 11, 12, 13, 14};
        QTest::newRow("empty weekday list means every day")
            << QList<qint64>{} << true << QList<int>{8, 9, 10, 11, 12, 13, 14};
        QTest::newRow("Monday and Sunday") << QList<qint64>{1, 7} << true << QList<int>{8, 14};
        QTest::newRow("inactive") << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << false << QList<int>{};
    }

    void whichRemindersArePresented()
    {
        QFETCH(QList<qint64>, activeDays);
        QFETCH(bool, active);
        QFETCH(QList<int>, presentedOn);

        ReminderSpec spec;
        spec.activeDaysRaw = activeDays;
        spec.isActive = active;
        makeReminder(context(), spec);
        Clock::setNow(hms("08:59:45", QDate(2026, 6, 8)));
        service().start(m_store.get());
        runUntil(hms("23:59:45", QDate(2026, 6, 14)));

        QList<int> days;
        for (const auto &banner : m_banners.shown) {
            if (!days.contains(banner.at.toLocalTime().date().day()))
                days << banner.at.toLocalTime().date().day();
        }
        QCOMPARE(days, presentedOn);
        QCOMPARE(m_banners.shown.size(), presentedOn.size() * 3);
    }

    void windowOrFloating_data()
    {
        QTest::addColumn<bool>("activeWithWindow");
        QTest::addColumn<bool>("floating");
        QTest::newRow("main window in front") << true << false;
        QTest::newRow("inactive, hidden or minimised") << false << true;
    }

    void windowOrFloating()
    {
        QFETCH(bool, activeWithWindow);
        QFETCH(bool, floating);
        m_activity.activeWithWindow = activeWithWindow;
        makeReminder(context());
        Clock::setNow(hms("09:00"));
        service().start(m_store.get());
        QCOMPARE(m_banners.shown.size(), 1);
        QCOMPARE(m_banners.shown.first().floating, floating);
        // The choice is made anew for each attempt.
        m_activity.activeWithWindow = !activeWithWindow;
        runUntil(hms("09:15"));
        QCOMPARE(m_banners.shown.size(), 2);
        QCOMPARE(m_banners.shown.last().floating, !floating);
    }

    void deletedHabitOnlyClosesTheBanner_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("gone"); // how the habit went away

        for (const char *button : {"Done", "Skip", "In 15 min", "I failed"}) {
            for (const char *gone : {"deleted and saved", "deleted, not saved", "store closed"}) {
                // Not addRow("%s, %s"): GCC's -O3 format check cannot see that the names are never null.
                const QByteArray tag = QByteArray(button) + ", " + gone;
                QTest::newRow(tag.constData()) << QString::fromUtf8(button) << QString::fromUtf8(gone);
            }
        }
    }

    void deletedHabitOnlyClosesTheBanner()
    {
        QFETCH(QString, button);
        QFETCH(QString, gone);

        auto reminder = makeReminder(context());
        QVERIFY(context()->save());
        Clock::setNow(button == QStringLiteral("I failed") ? hms("09:30") : hms("09:00"));
        service().start(m_store.get());
        QCOMPARE(m_banners.shown.size(), 1);

        if (gone == QStringLiteral("store closed")) {
            m_store.reset();
        } else {
            context()->remove(reminder);
            if (gone == QStringLiteral("deleted and saved"))
                QVERIFY(context()->save());
        }
        reminder.reset(); // only the banner still holds it

        QVERIFY(m_banners.press(button));
        QCOMPARE(m_banners.dismissals, 1);
        QVERIFY(service().snoozedOccurrences().isEmpty());
        if (m_store) {
            QCOMPARE(context()->fetchCount<ReminderLog>(), 0);
            QCOMPARE(context()->fetchCount<Reminder>(), 0);
            service().tick(); // and the loop carries on without it
            QCOMPARE(m_banners.shown.size(), 1);
        } else {
            m_store = openStore(); // for cleanup
        }
    }

    void pruning_data()
    {
        QTest::addColumn<qint64>("ageMs"); // how long before now each entry's date lies
        QTest::addColumn<bool>("kept");
        const qint64 limit = qint64(48) * 3600 * 1000;
        QTest::newRow("fresh") << qint64(0) << true;
        QTest::newRow("exactly 48 hours") << limit << true;
        QTest::newRow("48 hours and a millisecond") << limit + 1 << false;
        QTest::newRow("in the future") << -limit << true;
    }

    void pruning()
    {
        QFETCH(qint64, ageMs);
        QFETCH(bool, kept);

        const QDateTime now = hms("12:00");
        const QDateTime date = now.addMSecs(-ageMs);
        service().markAttemptPresented(QStringLiteral("A-1-1"), date);
        // A snooze and its base time age separately: each goes by its own date.
        service().setSnooze(QStringLiteral("A-1"), SnoozeEntry{date, 2}, now);
        service().setSnooze(QStringLiteral("A-2"), SnoozeEntry{now, 2}, date);
        service().markEveningWarningPosted(QStringLiteral("2026-06-08"), date);
        service().markDailySummaryPosted(QStringLiteral("2026-06-08"), date);
        Clock::setNow(now);

        service().pruneBookkeeping();

        QCOMPARE(service().presentedAttemptKeys().contains(QStringLiteral("A-1-1")), kept);
        QCOMPARE(service().snoozedOccurrences().contains(QStringLiteral("A-1")), kept);
        QVERIFY(service().snoozedOccurrences().contains(QStringLiteral("A-2")));
        QVERIFY(service().attemptBaseDates().contains(QStringLiteral("A-1")));
        QCOMPARE(service().attemptBaseDates().contains(QStringLiteral("A-2")), kept);
        QCOMPARE(service().eveningWarningKeys().contains(QStringLiteral("2026-06-08")), kept);
        QCOMPARE(service().dailySummaryKeys().contains(QStringLiteral("2026-06-08")), kept);
    }

    void tickBeforeStartDoesNothing()
    {
        resetSettings(); // evening warning and summary on
        makeReminder(context());
        Clock::setNow(hms("22:00"));
        for (const char *time : {"09:00", "09:15", "22:00"}) {
            Clock::setNow(hms(QString::fromUtf8(time)));
            service().tick();
        }
        QVERIFY(m_banners.shown.isEmpty());
        QVERIFY(m_notifications.operations().isEmpty());
        QVERIFY(service().presentedAttemptKeys().isEmpty());
        QVERIFY(!service().timer());
    }

    void startTwiceKeepsOneTimer()
    {
        makeReminder(context());
        Clock::setNow(hms("09:00"));
        service().start(m_store.get());
        const QTimer *timer = service().timer();
        QVERIFY(timer);
        QCOMPARE(m_banners.shown.size(), 1);

        // A second start takes the new store and runs a pass at once, on the same timer.
        auto other = openStore();
        ReminderSpec spec;
        spec.title = QStringLiteral("Stretch");
        makeReminder(other->mainContext(), spec);
        service().start(other.get());
        QCOMPARE(service().timer(), timer);
        QCOMPARE(service().findChildren<QTimer *>().size(), 1);
        QCOMPARE(m_banners.shown.size(), 2);
        QCOMPARE(m_banners.shown.last().title, QStringLiteral("Stretch"));
        service().resetForTesting();
    }
};

QTEST_GUILESS_MAIN(TestLoop)
#include "tst_loop.moc"
