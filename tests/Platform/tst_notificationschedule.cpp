#include "Base/Clock.h"
#include "Platform/NotificationSchedule.h"
#include "RecordingDelegate.h"
#include "Support/FakeNotificationCenter.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace ovlin;

namespace {

// Moments are written in UTC; the test runs under TZ=Europe/Berlin (UTC+1, summer UTC+2; clocks go forward on
// 2026-03-29 at 02:00 and back on 2026-10-25 at 03:00).
QDateTime utc(const char *text)
{
    QDateTime dt = QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
    Q_ASSERT(dt.isValid());
    return dt.toLocalTime();
}

NotificationRequest request(const QString &identifier, NotificationTrigger trigger, const QString &title = {})
{
    NotificationRequest r;
    r.identifier = identifier;
    r.content.title = title.isEmpty() ? identifier : title;
    r.content.body = QStringLiteral("Body");
    r.trigger = trigger;
    return r;
}

CalendarTrigger weekly(int weekday, int hour, int minute)
{
    return CalendarTrigger{hour, minute, weekday, true};
}

QStringList identifiers(const QList<NotificationRequest> &requests)
{
    QStringList result;
    for (const NotificationRequest &r : requests)
        result << r.identifier;
    return result;
}

} // namespace

class TestNotificationSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { Clock::useSystemTime(); }

    void calendarNextFire_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<int>("weekday"); // 0: every day
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<QDateTime>("expected");

        QTest::newRow("later today") << utc("2026-12-02T06:00:00Z") << 4 << 7 << 30 << utc("2026-12-02T06:30:00Z");
        QTest::newRow("week wrap Saturday to Monday")
            << utc("2026-12-05T09:00:00Z") << 2 << 7 << 30 << utc("2026-12-07T06:30:00Z");
        QTest::newRow("passed today, next week")
            << utc("2026-12-07T07:00:00Z") << 2 << 7 << 30 << utc("2026-12-14T06:30:00Z");
        QTest::newRow("exactly now, next week")
            << utc("2026-12-07T06:30:00Z") << 2 << 7 << 30 << utc("2026-12-14T06:30:00Z");
        QTest::newRow("spring gap becomes 03:00")
            << utc("2026-03-28T11:00:00Z") << 1 << 2 << 30 << utc("2026-03-29T01:00:00Z");
        QTest::newRow("autumn repeat takes first")
            << utc("2026-10-24T10:00:00Z") << 1 << 2 << 30 << utc("2026-10-25T00:30:00Z");
        QTest::newRow("autumn between repeats, no second firing")
            << utc("2026-10-25T01:00:00Z") << 1 << 2 << 30 << utc("2026-11-01T01:30:00Z");
        QTest::newRow("daily, tomorrow") << utc("2026-12-05T22:00:00Z") << 0 << 7 << 30 << utc("2026-12-06T06:30:00Z");
    }

    void calendarNextFire()
    {
        QFETCH(QDateTime, now);
        QFETCH(int, weekday);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(QDateTime, expected);

        CalendarTrigger trigger{hour, minute, std::nullopt, true};
        if (weekday)
            trigger.weekday = weekday;
        QCOMPARE(trigger.nextFireDate(now), expected);

        NotificationSchedule schedule;
        QVERIFY(schedule.add(request(QStringLiteral("r"), trigger), now));
        QCOMPARE(schedule.nextFireDate(QStringLiteral("r")), expected);
    }

    // A weekly request fires once a week at the same wall-clock time, through both changes of the clocks.
    void weeklyRepeatsAcrossChanges_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QList<QDateTime>>("fires");
        QTest::newRow("spring") << utc("2026-03-21T12:00:00Z")
                                << QList<QDateTime>{utc("2026-03-22T08:00:00Z"), utc("2026-03-29T07:00:00Z"),
                                                    utc("2026-04-05T07:00:00Z")};
        QTest::newRow("autumn") << utc("2026-10-17T12:00:00Z")
                                << QList<QDateTime>{utc("2026-10-18T07:00:00Z"), utc("2026-10-25T08:00:00Z"),
                                                    utc("2026-11-01T08:00:00Z")};
    }

    void weeklyRepeatsAcrossChanges()
    {
        QFETCH(QDateTime, start);
        QFETCH(QList<QDateTime>, fires);

        ScopedFakeClock clock(start);
        FakeNotificationCenter center;
        QVERIFY(center.add(request(QStringLiteral("weekly"), weekly(1, 9, 0))));
        for (const QDateTime &fire : fires) {
            QCOMPARE(center.nextFireDate(QStringLiteral("weekly")), fire);
            Clock::setNow(fire.addSecs(-1));
            QVERIFY(center.fireDueRequests().isEmpty());
            Clock::setNow(fire);
            const auto shown = center.fireDueRequests();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown.first().deliveryDate, fire);
            QVERIFY(center.fireDueRequests().isEmpty());
        }
        QCOMPARE(center.pendingRequests().size(), 1);
    }

    void intervalIsOneShot_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::newRow("half a second") << 0.5;
        QTest::newRow("an hour") << 3600.0;
    }

    void intervalIsOneShot()
    {
        QFETCH(double, seconds);
        const QDateTime start = utc("2026-12-02T10:00:00Z");
        const qint64 ms = std::llround(seconds * 1000);
        ScopedFakeClock clock(start);
        FakeNotificationCenter center;
        QVERIFY(center.add(request(QStringLiteral("once"), TimeIntervalTrigger{seconds})));
        QCOMPARE(center.nextFireDate(QStringLiteral("once")), start.addMSecs(ms));

        Clock::advanceMSecs(ms - 1);
        QVERIFY(center.fireDueRequests().isEmpty());
        Clock::advanceMSecs(1);
        QCOMPARE(center.fireDueRequests().size(), 1);
        QVERIFY(center.pendingRequests().isEmpty());
        Clock::advance(7 * 24 * 3600);
        QVERIFY(center.fireDueRequests().isEmpty());
    }

    void invalidRequestsAreRejected_data()
    {
        QTest::addColumn<NotificationRequest>("invalid");
        QTest::newRow("empty identifier") << request({}, TimeIntervalTrigger{1.0}, QStringLiteral("t"));
        QTest::newRow("hour 24") << request(QStringLiteral("x"), CalendarTrigger{24, 0, std::nullopt, true});
        QTest::newRow("weekday 0") << request(QStringLiteral("x"), CalendarTrigger{8, 0, 0, true});
        QTest::newRow("zero seconds") << request(QStringLiteral("x"), TimeIntervalTrigger{0});
        QTest::newRow("not a number") << request(QStringLiteral("x"),
                                                 TimeIntervalTrigger{std::numeric_limits<double>::quiet_NaN()});
        QTest::newRow("too far") << request(QStringLiteral("x"), TimeIntervalTrigger{1e300});
    }

    void invalidRequestsAreRejected()
    {
        QFETCH(NotificationRequest, invalid);
        ScopedFakeClock clock(utc("2026-12-02T10:00:00Z"));
        FakeNotificationCenter center;
        QVERIFY(center.add(request(QStringLiteral("x"), TimeIntervalTrigger{60})));
        QVERIFY(!center.add(invalid));
        QCOMPARE(identifiers(center.pendingRequests()), QStringList{QStringLiteral("x")});
        QCOMPARE(center.pendingRequests().first().trigger, NotificationTrigger(TimeIntervalTrigger{60}));
        QCOMPARE(center.addedIdentifiers(), QStringList{QStringLiteral("x")});
    }

    void addReplacesByIdentifier()
    {
        const QDateTime start = utc("2026-12-02T10:00:00Z");
        ScopedFakeClock clock(start);
        FakeNotificationCenter center;
        QVERIFY(center.add(request(QStringLiteral("a"), TimeIntervalTrigger{5}, QStringLiteral("first"))));
        QVERIFY(center.add(request(QStringLiteral("b"), TimeIntervalTrigger{5})));
        Clock::advance(10);
        QVERIFY(center.add(request(QStringLiteral("a"), weekly(2, 8, 0), QStringLiteral("second"))));

        const QList<NotificationRequest> pending = center.pendingRequests();
        QCOMPARE(identifiers(pending), (QStringList{QStringLiteral("b"), QStringLiteral("a")}));
        QCOMPARE(pending.last().content.title, QStringLiteral("second"));
        QCOMPARE(center.nextFireDate(QStringLiteral("a")), utc("2026-12-07T07:00:00Z"));

        // Only "b" is due: the replaced one-shot request no longer exists.
        const auto shown = center.fireDueRequests();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.first().request.identifier, QStringLiteral("b"));
    }

    // A caller that lists, removes and adds in one go keeps every request it added, also under identifiers that
    // were pending before.
    void removalTakesEffectBeforeAdds()
    {
        ScopedFakeClock clock(utc("2026-12-02T10:00:00Z"));
        FakeNotificationCenter center;
        const QString prefix = QStringLiteral("ovlin-A");
        center.add(request(prefix + QStringLiteral("-fixed-1"), weekly(2, 8, 0), QStringLiteral("old")));
        center.add(request(prefix + QStringLiteral("-fixed-5"), weekly(6, 8, 0), QStringLiteral("old")));
        center.add(request(QStringLiteral("followup-X"), TimeIntervalTrigger{1}));
        center.clearRecords();

        QStringList stale;
        for (const NotificationRequest &r : center.pendingRequests()) {
            if (r.identifier.startsWith(prefix))
                stale << r.identifier;
        }
        center.removePendingRequests(stale);
        center.add(request(prefix + QStringLiteral("-fixed-1"), weekly(2, 9, 0), QStringLiteral("new")));
        center.add(request(prefix + QStringLiteral("-fixed-3"), weekly(4, 9, 0), QStringLiteral("new")));

        const QList<NotificationRequest> pending = center.pendingRequests();
        QCOMPARE(identifiers(pending), (QStringList{QStringLiteral("followup-X"), prefix + QStringLiteral("-fixed-1"),
                                                    prefix + QStringLiteral("-fixed-3")}));
        QCOMPARE(pending.at(1).content.title, QStringLiteral("new"));
        using Op = FakeNotificationCenter::Operation;
        QCOMPARE(center.operations(),
                 (QList<Op>{Op{Op::Kind::Remove, stale}, Op{Op::Kind::Add, {prefix + QStringLiteral("-fixed-1")}},
                            Op{Op::Kind::Add, {prefix + QStringLiteral("-fixed-3")}}}));

        center.removeAllPendingRequests();
        QVERIFY(center.pendingRequests().isEmpty());
        QCOMPARE(center.operations().last().kind, Op::Kind::RemoveAll);
    }

    void willPresentDecides_data()
    {
        QTest::addColumn<PresentationOptions>("options");
        QTest::addColumn<bool>("shown");
        QTest::newRow("nothing (a window is active)") << PresentationOptions() << false;
        QTest::newRow("banner without sound") << PresentationOptions(PresentationOption::Banner) << true;
        QTest::newRow("everything") << NotificationCenter::defaultPresentation << true;
    }

    void willPresentDecides()
    {
        QFETCH(PresentationOptions, options);
        QFETCH(bool, shown);
        ScopedFakeClock clock(utc("2026-12-07T06:00:00Z"));
        FakeNotificationCenter center;
        RecordingDelegate delegate;
        delegate.options = options;
        center.setDelegate(&delegate);
        center.add(request(QStringLiteral("once"), TimeIntervalTrigger{1}));
        center.add(request(QStringLiteral("weekly"), weekly(2, 7, 30)));

        Clock::setNow(utc("2026-12-07T06:30:00Z"));
        const auto delivered = center.fireDueRequests();
        QCOMPARE(identifiers(delegate.asked), (QStringList{QStringLiteral("once"), QStringLiteral("weekly")}));
        QCOMPARE(delivered.size(), shown ? 2 : 0);
        for (const auto &d : delivered)
            QCOMPARE(d.options, options);
        // Suppressed or not, the one-shot request is used up and the weekly one waits for next week.
        QCOMPARE(identifiers(center.pendingRequests()), QStringList{QStringLiteral("weekly")});
        QCOMPARE(center.nextFireDate(QStringLiteral("weekly")), utc("2026-12-14T06:30:00Z"));
    }

    // Monday 2026-12-07 and Tuesday 2026-12-08 (UTC+1). Weekly Lunch at 11:00 on both days; the machine sleeps
    // from `asleep` to `resume`. A firing is delivered at most once, on its own day, dated by its own instant.
    void missedWeeklyFirings_data()
    {
        QTest::addColumn<QDateTime>("resume");
        QTest::addColumn<QStringList>("delivered");
        QTest::addColumn<QList<QDateTime>>("dates");

        QTest::newRow("over midnight: Monday's is dropped")
            << utc("2026-12-08T07:30:00Z") << QStringList() << QList<QDateTime>();
        QTest::newRow("same day, late") << utc("2026-12-07T12:30:00Z") << QStringList{QStringLiteral("monday")}
                                        << QList<QDateTime>{utc("2026-12-07T10:00:00Z")};
        QTest::newRow("a week later: only today's")
            << utc("2026-12-15T12:00:00Z") << QStringList{QStringLiteral("tuesday")}
            << QList<QDateTime>{utc("2026-12-15T10:00:00Z")};
    }

    void missedWeeklyFirings()
    {
        QFETCH(QDateTime, resume);
        QFETCH(QStringList, delivered);
        QFETCH(QList<QDateTime>, dates);

        ScopedFakeClock clock(utc("2026-12-07T09:00:00Z")); // Monday 10:00
        FakeNotificationCenter center;
        center.add(request(QStringLiteral("monday"), weekly(2, 11, 0)));
        center.add(request(QStringLiteral("tuesday"), weekly(3, 11, 0)));

        Clock::setNow(resume);
        const auto shown = center.fireDueRequests();
        QStringList ids;
        QList<QDateTime> firedAt;
        for (const auto &d : shown) {
            ids << d.request.identifier;
            firedAt << d.deliveryDate;
        }
        QCOMPARE(ids, delivered);
        QCOMPARE(firedAt, dates);
        QVERIFY(center.fireDueRequests().isEmpty());
        // Both stay for their next day: Tuesday's own firing stands.
        QCOMPARE(center.pendingRequests().size(), 2);
        QVERIFY(*center.nextFireDate(QStringLiteral("tuesday")) > resume);
        QVERIFY(*center.nextFireDate(QStringLiteral("monday")) > resume);
        if (resume < utc("2026-12-08T10:00:00Z")) {
            Clock::setNow(utc("2026-12-08T10:00:00Z"));
            const auto tuesday = center.fireDueRequests();
            QCOMPARE(tuesday.size(), 1);
            QCOMPARE(tuesday.first().deliveryDate, utc("2026-12-08T10:00:00Z"));
        }
    }

    // The clock is set back after a delivery (or after adding a request whose time had passed): the same
    // occurrence is not delivered again, the next one is.
    void clockSetBack_data()
    {
        QTest::addColumn<bool>("addedLate");
        QTest::addColumn<QDateTime>("setBackTo");
        QTest::addColumn<QDateTime>("next");
        QTest::newRow("two hours, same day") << false << utc("2026-12-07T08:00:00Z") << utc("2026-12-14T10:00:00Z");
        QTest::newRow("a day") << false << utc("2026-12-06T10:05:00Z") << utc("2026-12-14T10:00:00Z");
        QTest::newRow("eight days: last week's occurrence")
            << false << utc("2026-11-29T10:05:00Z") << utc("2026-11-30T10:00:00Z");
        QTest::newRow("added after its time") << true << utc("2026-12-07T08:00:00Z") << utc("2026-12-14T10:00:00Z");
    }

    void clockSetBack()
    {
        QFETCH(bool, addedLate);
        QFETCH(QDateTime, setBackTo);
        QFETCH(QDateTime, next);

        ScopedFakeClock clock(utc(addedLate ? "2026-12-07T10:05:00Z" : "2026-12-07T09:00:00Z"));
        FakeNotificationCenter center;
        center.add(request(QStringLiteral("weekly"), weekly(2, 11, 0)));
        center.add(request(QStringLiteral("later"), TimeIntervalTrigger{3600 * 24 * 2}));
        Clock::setNow(utc("2026-12-07T10:05:00Z"));
        QCOMPARE(center.fireDueRequests().size(), addedLate ? 0 : 1);

        Clock::setNow(setBackTo);
        QVERIFY(center.fireDueRequests().isEmpty());
        QCOMPARE(center.nextFireDate(QStringLiteral("weekly")), next);
        // A one-shot request keeps its instant.
        QCOMPARE(center.nextFireDate(QStringLiteral("later")),
                 utc(addedLate ? "2026-12-09T10:05:00Z" : "2026-12-09T09:00:00Z"));
        Clock::setNow(utc("2026-12-07T10:00:00Z"));
        QVERIFY(center.fireDueRequests().isEmpty());
    }

    // One-shot requests of one group missed together come down to the latest one of today; other days' go.
    void missedOneShotsCollapse_data()
    {
        QTest::addColumn<QDateTime>("resume");
        QTest::addColumn<QStringList>("delivered");
        QTest::newRow("on time") << utc("2026-12-07T08:00:00Z") << QStringList{QStringLiteral("g-0")};
        QTest::newRow("asleep for three")
            << utc("2026-12-07T10:30:00Z") << QStringList{QStringLiteral("other"), QStringLiteral("g-2")};
        QTest::newRow("over midnight") << utc("2026-12-08T07:30:00Z") << QStringList();
    }

    void missedOneShotsCollapse()
    {
        QFETCH(QDateTime, resume);
        QFETCH(QStringList, delivered);

        ScopedFakeClock clock(utc("2026-12-07T07:00:00Z"));
        FakeNotificationCenter center;
        for (int i = 0; i < 3; ++i) {
            NotificationRequest r = request(QStringLiteral("g-%1").arg(i), TimeIntervalTrigger{3600.0 * (i + 1)});
            r.content.collapseGroup = QStringLiteral("g");
            center.add(r);
        }
        center.add(request(QStringLiteral("other"), TimeIntervalTrigger{5400}));
        Clock::setNow(resume);
        const auto shown = center.fireDueRequests();
        const QHash<QString, QDateTime> firesAt{{QStringLiteral("g-0"), utc("2026-12-07T08:00:00Z")},
                                                {QStringLiteral("g-2"), utc("2026-12-07T10:00:00Z")},
                                                {QStringLiteral("other"), utc("2026-12-07T08:30:00Z")}};
        QStringList ids;
        for (const auto &d : shown) {
            ids << d.request.identifier;
            QCOMPARE(d.deliveryDate, firesAt.value(d.request.identifier));
        }
        QCOMPARE(ids, delivered);
        QVERIFY(center.pendingRequests().isEmpty() || resume < utc("2026-12-07T10:00:00Z"));
    }

    void identifiersByPrefix()
    {
        ScopedFakeClock clock(utc("2026-12-07T07:00:00Z"));
        FakeNotificationCenter center;
        for (const char *id : {"ovlin-B-fixed-1", "ovlin-A-interval-0", "followup-1", "ovlin-A-fixed-2", "ovlin-"})
            center.add(request(QString::fromLatin1(id), TimeIntervalTrigger{60}));
        QCOMPARE(center.pendingRequestIdentifiers(QStringLiteral("ovlin-A")),
                 (QStringList{QStringLiteral("ovlin-A-fixed-2"), QStringLiteral("ovlin-A-interval-0")}));
        QCOMPARE(center.pendingRequestIdentifiers(QStringLiteral("ovlin-")).size(), 4);
        QVERIFY(center.pendingRequestIdentifiers(QStringLiteral("ovlin-C")).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestNotificationSchedule)
#include "tst_notificationschedule.moc"
