#include "Support/LoopTestSupport.h"

#include "Support/FakeNotificationCenter.h"

#include <QtTest>

using namespace looptest;

Q_DECLARE_METATYPE(ovlin::CopyTrigger)

namespace {

const QDate june10(2026, 6, 10); // a Wednesday

QDateTime hms(const QString &text, const QDate &day = june10)
{
    const QTime time = QTime::fromString(text, text.size() > 5 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    return at(day, time.hour(), time.minute(), time.second());
}

struct Posted
{
    QDateTime at;
    NotificationRequest request;
};

} // namespace

// The once-a-day evening warning ("Still open.") and daily summary ("Today, wrapped.").
class TestEvening : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    FakeBannerPresenter m_banners;
    FakeAppActivity m_activity;
    FakeNotificationCenter m_notifications;
    QList<Posted> m_posted;
    qsizetype m_seenRequests = 0;

    StoreContext *context() const { return m_store->mainContext(); }
    ReminderPresentationService &service() { return ReminderPresentationService::shared(); }

    void notePosted()
    {
        const auto pending = m_notifications.pendingRequests();
        const auto added = m_notifications.addedIdentifiers();
        for (; m_seenRequests < added.size(); ++m_seenRequests) {
            for (const auto &request : pending) {
                if (request.identifier == added.at(m_seenRequests))
                    m_posted.append({Clock::now(), request});
            }
        }
    }

    void runUntil(const QDateTime &end, const std::function<void()> &afterTick = {})
    {
        while (Clock::now() < end) {
            Clock::advance(15);
            service().tick();
            notePosted();
            if (afterTick)
                afterTick();
        }
    }

    void launch(const QDateTime &moment)
    {
        Clock::setNow(moment);
        service().start(m_store.get());
        notePosted();
    }

    QStringList postedLines() const
    {
        QStringList lines;
        for (const Posted &posted : m_posted)
            lines << posted.at.toLocalTime().toString(QStringLiteral("MM-dd HH:mm:ss ")) + posted.request.identifier;
        return lines;
    }

    // A reminder due at `time` every day, answered with `status` ("" leaves it open).
    std::shared_ptr<Reminder> reminderAt(const QTime &time, const QString &status = {}, const QDate &day = june10)
    {
        ReminderSpec spec;
        spec.fixedTime = time;
        const auto reminder = makeReminder(context(), spec);
        if (!status.isEmpty())
            context()->insert(addLog(reminder, at(day, time.hour(), time.minute()), status));
        return reminder;
    }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        service().resetForTesting();
        service().setBannerPresenter(&m_banners, &m_activity);
        service().setNotificationCenter(&m_notifications);
        m_notifications.removeAllPendingRequests();
        m_notifications.clearRecords();
        m_posted.clear();
        m_seenRequests = 0;
        m_store = openStore();
    }

    void cleanup()
    {
        service().resetForTesting();
        m_banners = FakeBannerPresenter();
        m_store.reset();
        Clock::useSystemTime();
    }

    void eveningWarningOncePerDay()
    {
        reminderAt(QTime(9, 0), QStringLiteral("completed"));
        reminderAt(QTime(12, 0));
        resetSettings({{QStringLiteral("dailySummaryEnabled"), false}});
        launch(hms("19:00"));
        runUntil(hms("23:59:45", june10.addDays(1)));

        // Day two has nothing answered, so it warns again under its own key.
        QCOMPARE(postedLines(),
                 (QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10", "06-11 20:00:00 ovlin-evening-2026-06-11"}));
        QVERIFY(service().eveningWarningKeys().contains(QStringLiteral("2026-06-10")));
    }

    void requestsAsPosted_data()
    {
        QTest::addColumn<bool>("sound");
        QTest::newRow("with sound") << true;
        QTest::newRow("silent") << false;
    }

    void requestsAsPosted()
    {
        QFETCH(bool, sound);
        resetSettings({{QStringLiteral("soundEnabled"), sound}});
        reminderAt(QTime(9, 0));
        launch(hms("21:30"));

        QCOMPARE(m_posted.size(), 2);
        const NotificationRequest evening = m_posted.at(0).request;
        const NotificationRequest summary = m_posted.at(1).request;
        QCOMPARE(evening.identifier, QStringLiteral("ovlin-evening-2026-06-10"));
        QCOMPARE(evening.content.title, QStringLiteral("Still open."));
        QCOMPARE(summary.identifier, QStringLiteral("ovlin-summary-2026-06-10"));
        QCOMPARE(summary.content.title, QStringLiteral("Today, wrapped."));
        for (const NotificationRequest &request : {evening, summary}) {
            QCOMPARE(request.trigger, NotificationTrigger(TimeIntervalTrigger{1.0}));
            QCOMPARE(request.content.sound,
                     sound ? std::optional(NotificationSound::defaultSound()) : std::optional<NotificationSound>());
        }
    }

    void armedWithNothingOpenStaysArmed()
    {
        reminderAt(QTime(9, 0), QStringLiteral("completed"));
        reminderAt(QTime(12, 0), QStringLiteral("missed"));
        resetSettings({{QStringLiteral("dailySummaryEnabled"), false}});
        launch(hms("19:59"));
        runUntil(hms("20:30"));
        QVERIFY(m_posted.isEmpty());
        QVERIFY(service().eveningWarningKeys().isEmpty());

        // A habit created this evening is open: the warning follows at the next pass.
        reminderAt(QTime(20, 15));
        runUntil(hms("21:00"));
        QCOMPARE(postedLines(), QStringList{"06-10 20:30:15 ovlin-evening-2026-06-10"});
    }

    void warningWording_data()
    {
        QTest::addColumn<bool>("graceEnabled");
        QTest::addColumn<int>("graceUsedDaysAgo"); // -1: never
        QTest::addColumn<CopyTrigger>("trigger");

        QTest::newRow("grace day left") << true << -1 << CopyTrigger::streakAtRiskSoft;
        QTest::newRow("grace used two days ago") << true << 2 << CopyTrigger::streakAtRisk;
        QTest::newRow("grace period off") << false << -1 << CopyTrigger::streakAtRisk;
    }

    void warningWording()
    {
        QFETCH(bool, graceEnabled);
        QFETCH(int, graceUsedDaysAgo);
        QFETCH(CopyTrigger, trigger);

        resetSettings(
            {{QStringLiteral("gracePeriodEnabled"), graceEnabled}, {QStringLiteral("dailySummaryEnabled"), false}});
        if (graceUsedDaysAgo >= 0)
            AppSettings::shared().setGraceUsedThisWeek(Days::startOfDay(june10.addDays(-graceUsedDaysAgo)));
        reminderAt(QTime(9, 0));
        launch(hms("20:00"));

        QCOMPARE(m_posted.size(), 1);
        const QString body = m_posted.first().request.content.body;
        QVERIFY2(CopyEngine::pool(trigger).contains(body), qPrintable(body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), body);
        // Only asked, never spent.
        QCOMPARE(AppSettings::shared().graceUsedThisWeek().has_value(), graceUsedDaysAgo >= 0);
    }

    void summaryOutcome_data()
    {
        QTest::addColumn<QStringList>("statuses"); // one reminder each; "" leaves it open
        QTest::addColumn<CopyTrigger>("trigger");
        QTest::addColumn<int>("completed");

        QTest::newRow("all three completed")
            << QStringList{"completed", "completed", "completed"} << CopyTrigger::dailySummaryPerfect << 3;
        QTest::newRow("two of three completed")
            << QStringList{"completed", "completed", ""} << CopyTrigger::dailySummaryPartial << 2;
        QTest::newRow("none completed, one skipped")
            << QStringList{"skipped", "", ""} << CopyTrigger::dailySummaryPartial << 0;
        QTest::newRow("nothing answered") << QStringList{"", "", ""} << CopyTrigger::dailySummaryFailed << 0;
        QTest::newRow("snoozed only is not answered")
            << QStringList{"snoozed", "snoozed", ""} << CopyTrigger::dailySummaryFailed << 0;
    }

    void summaryOutcome()
    {
        QFETCH(QStringList, statuses);
        QFETCH(CopyTrigger, trigger);
        QFETCH(int, completed);

        resetSettings({{QStringLiteral("eveningReminderEnabled"), false}});
        int hour = 9;
        for (const QString &status : statuses)
            reminderAt(QTime(hour++, 0), status);
        launch(hms("21:29:45"));
        QVERIFY(m_posted.isEmpty());
        runUntil(hms("23:59:45"));

        QCOMPARE(postedLines(), QStringList{"06-10 21:30:00 ovlin-summary-2026-06-10"});
        CopyContext copyContext;
        copyContext.current = completed;
        copyContext.required = statuses.size();
        const QString body = m_posted.first().request.content.body;
        QVERIFY2(CopyEngine::fillTexts(CopyEngine::pool(trigger), copyContext).contains(body), qPrintable(body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), body);
    }

    void switches_data()
    {
        QTest::addColumn<bool>("evening");
        QTest::addColumn<bool>("summary");
        QTest::addColumn<QStringList>("posted");

        QTest::newRow("both on") << true << true
                                 << QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10",
                                                "06-10 21:30:00 ovlin-summary-2026-06-10"};
        QTest::newRow("summary off") << true << false << QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10"};
        QTest::newRow("both off") << false << false << QStringList{};
    }

    void switches()
    {
        QFETCH(bool, evening);
        QFETCH(bool, summary);
        QFETCH(QStringList, posted);

        resetSettings(
            {{QStringLiteral("eveningReminderEnabled"), evening}, {QStringLiteral("dailySummaryEnabled"), summary}});
        reminderAt(QTime(9, 0));
        launch(hms("19:00"));
        runUntil(hms("23:59:45"));
        QCOMPARE(postedLines(), posted);
    }
};

QTEST_GUILESS_MAIN(TestEvening)
#include "tst_evening.moc"
