#include "Copy/CopyEngine.h"
#include "Engine/NotificationResponder.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderPresentationService.h"
#include "Platform/SystemClockEvents.h"
#include "SchedulerTestSupport.h"
#include "Support/LoopTestSupport.h"

#include <QtTest>

using namespace ovlin;
using namespace schedulertest;

class TestNotificationAnswers : public QObject
{
    Q_OBJECT

private:
    SchedulerFixture f;
    std::unique_ptr<NotificationResponder> m_responder;
    bool m_appActive = false;
    looptest::FakeAppActivity m_activity;

    QDateTime now() const { return at(wednesday, 9, 5); }
    QDateTime delivered() const { return at(wednesday, 9, 0); }

    // A reminder due at 09:00 every day, created long ago, completed on each of the `days` days before today.
    std::shared_ptr<Reminder> reminderWithStreak(ReminderCategory category, int days, const QString &title = "Water")
    {
        const auto reminder = makeReminder(&f.context(), {.title = title, .category = category});
        for (int d = 1; d <= days; ++d) {
            const auto log = addLog(reminder, at(wednesday.addDays(-d), 9, 0), LogStatus::completed);
            log->setCompletedAt(at(wednesday.addDays(-d), 9, 1));
        }
        if (!f.context().save())
            qWarning("saving the test reminder failed");
        return reminder;
    }

    // The request the scheduler would have shown for the reminder.
    static NotificationRequest shownRequest(const Reminder &reminder)
    {
        NotificationRequest request;
        request.identifier = SchedulerService::notificationPrefix(reminder) + "-fixed-3";
        request.content.title = reminder.title();
        request.content.categoryIdentifier = SchedulerService::categoryIdentifier;
        request.content.userInfo = {{QStringLiteral("reminderID"), uuidText(reminder.id())},
                                    {QStringLiteral("category"), reminder.category()}};
        request.trigger = CalendarTrigger{9, 0, 4, true};
        return request;
    }

    // The user answers through the centre; the answer is handled once the event loop has run.
    void answer(const NotificationRequest &request, const QString &action)
    {
        f.center->respond(request, action, delivered());
        QCoreApplication::sendPostedEvents();
    }

    QList<std::shared_ptr<ReminderLog>> logsSince(const std::shared_ptr<Reminder> &reminder)
    {
        return f.context().fetch<ReminderLog>([&](const ReminderLog &log) {
            return log.reminder() == reminder && log.scheduledAt() >= Days::startOfDay(wednesday);
        });
    }

    QList<NotificationRequest> followUps() const
    {
        QList<NotificationRequest> result;
        for (const NotificationRequest &request : f.center->pendingRequests()) {
            if (request.identifier.startsWith(QStringLiteral("followup-")))
                result.append(request);
        }
        return result;
    }

    static void verifyFollowUp(const NotificationRequest &request, const QString &title, CopyTrigger trigger,
                               const CopyContext &context, double delay)
    {
        QVERIFY(parseUuid(request.identifier.mid(QStringLiteral("followup-").size())).has_value());
        QCOMPARE(request.content.title, title);
        const QStringList phrases = CopyEngine::fillTexts(CopyEngine::pool(trigger), context);
        QVERIFY2(phrases.contains(request.content.body), qPrintable(request.content.body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), std::optional(request.content.body));
        QCOMPARE(request.trigger, NotificationTrigger(TimeIntervalTrigger{delay}));
    }

    // Banners as the loop shows them with Ovlin in the background.
    ReminderPresentationService &presentInBanners(looptest::FakeBannerPresenter &banners)
    {
        m_activity.activeWithWindow = false;
        ReminderPresentationService &presentation = ReminderPresentationService::shared();
        presentation.setBannerPresenter(&banners, &m_activity);
        presentation.setNotificationCenter(f.center.get());
        return presentation;
    }

private Q_SLOTS:
    void init()
    {
        f.setUp(at(wednesday, 9, 5));
        m_appActive = false;
        m_responder = std::make_unique<NotificationResponder>(&f.context());
        m_responder->setAppActiveQuery([this] { return m_appActive; });
        m_responder->attach(f.center.get());
    }

    void cleanup()
    {
        m_responder.reset();
        ReminderPresentationService &presentation = ReminderPresentationService::shared();
        presentation.start(nullptr);
        presentation.setBannerPresenter(nullptr, nullptr);
        presentation.setNotificationCenter(nullptr);
        for (const auto &reminder : f.context().fetch<Reminder>())
            ReminderPresentationService::shared().clearBookkeeping(*reminder);
        f.tearDown();
    }

    void doneAnswers_data()
    {
        QTest::addColumn<ReminderCategory>("category");
        QTest::addColumn<int>("daysBefore");
        QTest::addColumn<QString>("action");
        QTest::addColumn<CopyTrigger>("completion");
        QTest::addColumn<std::optional<CopyTrigger>>("streak");

        const QString done = QStringLiteral("COMPLETE");
        const QString click = NotificationResponse::defaultActionIdentifier;
        using T = CopyTrigger;
        QTest::newRow("water at 7 days") << ReminderCategory::water << 6 << done << T::waterCompleted
                                         << std::optional(T::streakDay7);
        QTest::newRow("water at 8 days") << ReminderCategory::water << 7 << done << T::waterCompleted
                                         << std::optional<T>();
        QTest::newRow("click at 7 days") << ReminderCategory::water << 6 << click << T::waterCompleted
                                         << std::optional(T::streakDay7);
        QTest::newRow("snack") << ReminderCategory::snack << 0 << done << T::habitCompleted << std::optional<T>();
        QTest::newRow("general at 3 days")
            << ReminderCategory::general << 2 << done << T::habitCompleted << std::optional(T::streakDay3);
        QTest::newRow("movement at 21 days")
            << ReminderCategory::movement << 20 << click << T::movementCompleted << std::optional(T::streakDay21);
        QTest::newRow("meditation at 30 days")
            << ReminderCategory::meditation << 29 << done << T::meditationCompleted << std::optional(T::streakDay30);
    }

    void doneAnswers()
    {
        QFETCH(ReminderCategory, category);
        QFETCH(int, daysBefore);
        QFETCH(QString, action);
        QFETCH(CopyTrigger, completion);
        QFETCH(std::optional<CopyTrigger>, streak);

        const auto reminder = reminderWithStreak(category, daysBefore);
        answer(shownRequest(*reminder), action);

        const auto logs = logsSince(reminder);
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::completed);
        QCOMPARE(logs.first()->scheduledAt(), delivered());
        QCOMPARE(logs.first()->completedAt(), std::optional(now()));
        QVERIFY(!f.context().hasChanges());

        const qint64 days = daysBefore + 1;
        const CopyContext copy{.habitName = QStringLiteral("Water"), .streakCount = days};
        const QList<NotificationRequest> posted = followUps();
        QCOMPARE(posted.size(), streak ? 2 : 1);
        verifyFollowUp(posted.at(0), QStringLiteral("Nice."), completion, copy, 1.0);
        if (streak)
            verifyFollowUp(posted.at(1), QString::number(days) + QStringLiteral(" days straight."), *streak, copy, 2.0);
        QCOMPARE(f.center->nextFireDate(posted.at(0).identifier), std::optional(now().addSecs(1)));
    }

    // Only a completed log makes a notification's Done redundant: after a skip or a miss it still records the
    // completion, which outweighs them for the day, and follows it up.
    void doneOnAnAnsweredOccurrence_data()
    {
        QTest::addColumn<QString>("earlier"); // how 09:00 was answered before the Done at 09:50
        QTest::addColumn<QStringList>("logsBefore");
        QTest::addColumn<bool>("recorded");

        QTest::newRow("Done twice") << "Done" << QStringList{"09:00 completed"} << false;
        QTest::newRow("completed on the banner") << "completed" << QStringList{"09:00 completed"} << false;
        QTest::newRow("skipped in the list") << "skipped" << QStringList{"09:00 skipped"} << true;
        QTest::newRow("missed") << "missed" << QStringList{"09:00 missed"} << true;
        QTest::newRow("missed after a banner snooze")
            << "banner snooze" << QStringList{"09:00 snoozed", "09:00 missed"} << true;
        QTest::newRow("snoozed only") << "snoozed" << QStringList{"09:00 snoozed"} << true;
    }

    void doneOnAnAnsweredOccurrence()
    {
        QFETCH(QString, earlier);
        QFETCH(QStringList, logsBefore);
        QFETCH(bool, recorded);

        const auto reminder = reminderWithStreak(ReminderCategory::water, 6);
        const NotificationRequest request = shownRequest(*reminder);
        looptest::FakeBannerPresenter banners;
        if (earlier == QStringLiteral("Done")) {
            answer(request, QStringLiteral("COMPLETE"));
        } else if (earlier == QStringLiteral("banner snooze")) {
            // Snoozed from the banner at 09:01 and never answered: the loop gives up on it at 09:36.
            ReminderPresentationService &presentation = presentInBanners(banners);
            Clock::setNow(at(wednesday, 9, 0));
            presentation.start(f.store.get());
            Clock::setNow(at(wednesday, 9, 1));
            QVERIFY(banners.press(QStringLiteral("In 15 min")));
            for (const int minute : {16, 31, 36}) {
                Clock::setNow(at(wednesday, 9, minute));
                presentation.tick();
            }
        } else {
            addLog(reminder, delivered().addSecs(20), earlier);
            QVERIFY(f.context().save());
        }
        QCOMPARE(looptest::logLines(*reminder).mid(6), logsBefore);
        const qsizetype followUpsBefore = followUps().size();

        Clock::setNow(at(wednesday, 9, 50));
        answer(request, QStringLiteral("COMPLETE"));

        const QStringList logs = looptest::logLines(*reminder).mid(6);
        QCOMPARE(logs, recorded ? logsBefore + QStringList{"09:00 completed"} : logsBefore);
        if (recorded)
            QCOMPARE(reminder->logs().last()->completedAt(), std::optional(at(wednesday, 9, 50)));
        QCOMPARE(ReminderBehaviorService::shared().resolution(*reminder, Clock::now()),
                 ReminderBehaviorService::Resolution::completed);

        QStringList newFollowUps;
        for (const NotificationRequest &posted : followUps().mid(followUpsBefore))
            newFollowUps << posted.content.title;
        // Today's completion makes the seventh day in a row.
        const QStringList expectedFollowUps = recorded ? QStringList{"Nice.", "7 days straight."} : QStringList{};
        QCOMPARE(newFollowUps, expectedFollowUps);
        if (recorded) {
            const CopyContext copy{.habitName = QStringLiteral("Water"), .streakCount = 7};
            verifyFollowUp(followUps().at(followUpsBefore), QStringLiteral("Nice."), CopyTrigger::waterCompleted, copy,
                           1.0);
        }
    }

    // After a resume or a clock change, the loop presents what is due at once, not at its next tick.
    void presentationFollowsResume_data()
    {
        QTest::addColumn<bool>("resume");
        QTest::newRow("resume") << true;
        QTest::newRow("clock set") << false;
    }

    void presentationFollowsResume()
    {
        QFETCH(bool, resume);
        looptest::FakeBannerPresenter banners;
        ReminderPresentationService &presentation = presentInBanners(banners);
        reminderWithStreak(ReminderCategory::water, 0);
        Clock::setNow(at(wednesday, 8, 50));
        presentation.start(f.store.get());
        QVERIFY(banners.shown.isEmpty());

        Clock::setNow(at(wednesday, 9, 3));
        if (resume)
            SystemClockEvents::shared().reportResumed();
        else
            SystemClockEvents::shared().reportClockChanged();
        QCOMPARE(banners.shown.size(), 1);
        QCOMPARE(banners.shown.first().at, at(wednesday, 9, 3));
    }

    void snoozeBringsTheBannerBack()
    {
        looptest::FakeBannerPresenter banners;
        ReminderPresentationService &presentation = presentInBanners(banners);

        const auto reminder = reminderWithStreak(ReminderCategory::water, 6);
        presentation.start(f.store.get());
        QCOMPARE(banners.shown.size(), 1); // attempt 1, due at 09:00

        f.center->clearRecords();
        answer(shownRequest(*reminder), QStringLiteral("SNOOZE"));

        const auto logs = logsSince(reminder);
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::snoozed);
        QVERIFY(f.center->operations().isEmpty());

        Clock::setNow(now().addSecs(10 * 60 - 1));
        presentation.tick();
        QCOMPARE(banners.shown.size(), 1);
        Clock::advance(1);
        presentation.tick();
        QCOMPARE(banners.shown.size(), 2);
        QCOMPARE(banners.shown.last().at, at(wednesday, 9, 15));
        QCOMPARE(looptest::attemptOfMessage(*reminder, banners.shown.last().message), 2);
    }

    // Answers to a reminder deleted meanwhile change nothing.
    void answersThatChangeNothing_data()
    {
        QTest::addColumn<QString>("action");
        QTest::newRow("Done") << "COMPLETE";
        QTest::newRow("Snooze") << "SNOOZE";
    }

    void answersThatChangeNothing()
    {
        QFETCH(QString, action);

        const auto reminder = reminderWithStreak(ReminderCategory::water, 2);
        const NotificationRequest request = shownRequest(*reminder);
        f.context().remove(reminder);
        QVERIFY(f.context().save());
        const qsizetype logsAfterDelete = f.context().fetchCount<ReminderLog>();
        f.center->clearRecords();

        answer(request, action);

        QCOMPARE(f.context().fetchCount<ReminderLog>(), logsAfterDelete);
        QVERIFY(!f.context().hasChanges());
        QVERIFY(f.center->operations().isEmpty());
        QVERIFY(ReminderPresentationService::shared().snoozedOccurrences().isEmpty());
    }

    void unusableReminderIdentifiers_data()
    {
        QTest::addColumn<QVariantMap>("userInfo");
        QTest::addColumn<bool>("handled");

        const QString id = QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF");
        QTest::newRow("missing") << QVariantMap{{QStringLiteral("category"), QStringLiteral("water")}} << false;
        QTest::newRow("not a UUID") << QVariantMap{{QStringLiteral("reminderID"), QStringLiteral("water")}} << false;
        QTest::newRow("upper case") << QVariantMap{{QStringLiteral("reminderID"), id}} << true;
        QTest::newRow("lower case") << QVariantMap{{QStringLiteral("reminderID"), id.toLower()}} << true;
        // Only text counts, even where the value would convert to the right identifier.
        QTest::newRow("bytes") << QVariantMap{{QStringLiteral("reminderID"), id.toUtf8()}} << false;
    }

    void unusableReminderIdentifiers()
    {
        QFETCH(QVariantMap, userInfo);
        QFETCH(bool, handled);

        const auto reminder = reminderWithStreak(ReminderCategory::water, 0);
        reminder->setId(QUuid(QStringLiteral("6F9619FF-8B86-D011-B42D-00C04FC964FF")));
        QVERIFY(f.context().save());
        NotificationRequest request = shownRequest(*reminder);
        request.content.userInfo = userInfo;

        answer(request, QStringLiteral("COMPLETE"));
        QCOMPARE(logsSince(reminder).size(), handled ? 1 : 0);
        QCOMPARE(followUps().size(), handled ? 1 : 0);
        QCOMPARE(NotificationResponder::reminderIdentifier(userInfo).has_value(), handled);
    }

    void willPresentWhileActive_data()
    {
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("shown");
        QTest::newRow("Ovlin active") << true << false;
        QTest::newRow("Ovlin in the background") << false << true;
    }

    void willPresentWhileActive()
    {
        QFETCH(bool, active);
        QFETCH(bool, shown);

        m_appActive = active;
        const auto reminder = reminderWithStreak(ReminderCategory::water, 0);
        SchedulerService::shared().schedule(*reminder);
        QVERIFY(f.center->fire(SchedulerService::notificationPrefix(*reminder) + "-fixed-3"));
        QCOMPARE(f.center->deliveries().size(), shown ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestNotificationAnswers)
#include "tst_notificationanswers.moc"
