#include "Copy/CopyEngine.h"

#include <QtTest>

#include <deque>
#include <limits>

using namespace ovlin;

Q_DECLARE_METATYPE(ovlin::CopyContext)

namespace {

constexpr quint64 maxDraw = std::numeric_limits<quint64>::max();

// Hands out the scripted values in order; once they run out it returns a value that is never
// rejected and notes that the script was too short.
class ScriptedRandom final : public RandomSource
{
public:
    explicit ScriptedRandom(const QList<quint64> &values) : m_values(values.begin(), values.end()) {}

    quint64 next64() override
    {
        ++draws;
        if (m_values.empty()) {
            exhausted = true;
            return maxDraw;
        }
        const quint64 value = m_values.front();
        m_values.pop_front();
        return value;
    }

    int draws = 0;
    bool exhausted = false;

private:
    std::deque<quint64> m_values;
};

// A draw that lands in the middle of the index's share of the range, well clear of rejection.
quint64 drawFor(quint64 index, quint64 count)
{
    const quint64 share = maxDraw / count;
    return share * index + share / 2;
}

CopyTrigger triggerAt(int ordinal)
{
    return static_cast<CopyTrigger>(ordinal);
}

const QStringList singleTextTriggers{QStringLiteral("hallOfFame"),          QStringLiteral("statsDaysCompleted"),
                                     QStringLiteral("statsGoalDays"),       QStringLiteral("statsDaysRemaining"),
                                     QStringLiteral("menuBarOverdue"),      QStringLiteral("menuBarSkipped"),
                                     QStringLiteral("menuBarAccessibility")};

} // namespace

class TestCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Order, raw name, pool size and one sampled text of every trigger.
    void triggersAndPools_data()
    {
        QTest::addColumn<int>("ordinal");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("sample");

        QTest::newRow("waterReminder") << 0 << QStringLiteral("waterReminder") << 5 << 0
                                       << QStringLiteral("Drink some water and move on.");
        QTest::newRow("mealReminder") << 1 << QStringLiteral("mealReminder") << 5 << 1
                                      << QStringLiteral("Time to eat. Keep it simple.");
        QTest::newRow("snackReminder") << 2 << QStringLiteral("snackReminder") << 5 << 2
                                       << QStringLiteral("Eat something small and useful.");
        QTest::newRow("movementReminder")
            << 3 << QStringLiteral("movementReminder") << 5 << 3 << QStringLiteral("A short reset would help here.");
        QTest::newRow("meditationReminder") << 4 << QStringLiteral("meditationReminder") << 5 << 4
                                            << QStringLiteral("A little stillness would help right now.");
        QTest::newRow("generalReminder") << 5 << QStringLiteral("generalReminder") << 4 << 1
                                         << QStringLiteral("Quick nudge. Handle it now.");
        QTest::newRow("notificationFollowUp") << 6 << QStringLiteral("notificationFollowUp") << 4 << 2
                                              << QStringLiteral("Second reminder. Handle it or own the skip.");
        QTest::newRow("notificationFinal")
            << 7 << QStringLiteral("notificationFinal") << 4 << 3 << QStringLiteral("Now or never. Your choice.");
        QTest::newRow("habitCompleted") << 8 << QStringLiteral("habitCompleted") << 4 << 0
                                        << QStringLiteral("Done. You're basically an athlete now.");
        QTest::newRow("waterCompleted") << 9 << QStringLiteral("waterCompleted") << 4 << 1
                                        << QStringLiteral(
                                               "Hydrated. Your kidneys have withdrawn their complaint. For now.");
        QTest::newRow("mealCompleted") << 10 << QStringLiteral("mealCompleted") << 4 << 2
                                       << QStringLiteral("The plan is working. Keep it weird.");
        QTest::newRow("movementCompleted")
            << 11 << QStringLiteral("movementCompleted") << 4 << 3
            << QStringLiteral("Done. Go back to what you were doing, slightly less stiff.");
        QTest::newRow("meditationCompleted")
            << 12 << QStringLiteral("meditationCompleted") << 4 << 0
            << QStringLiteral("Done. You sat still and didn't check your phone. Miracle.");
        QTest::newRow("streakDay3") << 13 << QStringLiteral("streakDay3") << 3 << 1
                                    << QStringLiteral("3 in a row. The bar is low and you're clearing it. Keep going.");
        QTest::newRow("streakDay7") << 14 << QStringLiteral("streakDay7") << 3 << 0
                                    << QStringLiteral("7 days straight. Either you're motivated or your life is "
                                                      "suspiciously uneventful. Either way — keep it up.");
        QTest::newRow("streakDay14") << 15 << QStringLiteral("streakDay14") << 3 << 0
                                     << QStringLiteral("14 days. Longer than most gym memberships last.");
        QTest::newRow("streakDay21") << 16 << QStringLiteral("streakDay21") << 3 << 1
                                     << QStringLiteral("Three weeks. Honestly didn't see this coming.");
        QTest::newRow("streakDay30") << 17 << QStringLiteral("streakDay30") << 3 << 0
                                     << QStringLiteral("30 days. Whatever you set as your reward — go get it.");
        QTest::newRow("streakBroken") << 18 << QStringLiteral("streakBroken") << 5 << 3
                                      << QStringLiteral("Streak broken. Don't be dramatic. Just start again.");
        QTest::newRow("streakAtRisk") << 19 << QStringLiteral("streakAtRisk") << 3 << 1
                                      << QStringLiteral("Streak on life support. You still have time. Do something.");
        QTest::newRow("streakAtRiskSoft") << 20 << QStringLiteral("streakAtRiskSoft") << 3 << 2
                                          << QStringLiteral("You're about to spend grace on this. Hope it's worth it.");
        QTest::newRow("graceUsed") << 21 << QStringLiteral("graceUsed") << 4 << 1
                                   << QStringLiteral("That cost you your grace day. The streak survives. Barely.");
        QTest::newRow("missedOnce") << 22 << QStringLiteral("missedOnce") << 3 << 1
                                    << QStringLiteral("Missed. It happens. Just don't make it a thing.");
        QTest::newRow("missedTwice") << 23 << QStringLiteral("missedTwice") << 3 << 1
                                     << QStringLiteral("Two in a row. That's not forgetting — that's avoiding.");
        QTest::newRow("missedThreePlus") << 24 << QStringLiteral("missedThreePlus") << 4 << 0
                                         << QStringLiteral(
                                                "Multiple days missed. The habit is just sitting here, waiting.");
        QTest::newRow("milestoneProgress") << 25 << QStringLiteral("milestoneProgress") << 3 << 1
                                           << QStringLiteral("Progress is progress. Don't stop now.");
        QTest::newRow("milestoneAlmostThere")
            << 26 << QStringLiteral("milestoneAlmostThere") << 3 << 2
            << QStringLiteral("We've seen people bail at this point. Don't be that person.");
        QTest::newRow("milestoneUnlocked")
            << 27 << QStringLiteral("milestoneUnlocked") << 5 << 2
            << QStringLiteral("We didn't think you'd make it this far. Genuinely. Enjoy it.");
        QTest::newRow("milestoneFailed") << 28 << QStringLiteral("milestoneFailed") << 3 << 1
                                         << QStringLiteral(
                                                "The reward isn't going anywhere. Earn it properly next time.");
        QTest::newRow("onboardingWelcome")
            << 29 << QStringLiteral("onboardingWelcome") << 3 << 2
            << QStringLiteral("I'm going to be your least-ignorable habit. Set me up properly and I'll be worth it.");
        QTest::newRow("onboardingFirstHabit")
            << 30 << QStringLiteral("onboardingFirstHabit") << 3 << 0
            << QStringLiteral("Start with whatever you skip most. That's the one you actually need.");
        QTest::newRow("onboardingFirstMilestone")
            << 31 << QStringLiteral("onboardingFirstMilestone") << 3 << 1
            << QStringLiteral("Pick something you actually want. Make it specific. 'Something nice' is not a reward.");
        QTest::newRow("emptyReminders") << 32 << QStringLiteral("emptyReminders") << 3 << 2
                                        << QStringLiteral("Empty. Much like your hydration levels, probably.");
        QTest::newRow("emptyMilestones") << 33 << QStringLiteral("emptyMilestones") << 3 << 0
                                         << QStringLiteral("No reward set. That's on you.");
        QTest::newRow("emptyStatistics") << 34 << QStringLiteral("emptyStatistics") << 3 << 1
                                         << QStringLiteral(
                                                "Stats appear once you've actually done things. Go do things.");
        QTest::newRow("hallOfFame") << 35 << QStringLiteral("hallOfFame") << 1 << 0
                                    << QStringLiteral("Goals achieved.");
        QTest::newRow("dailySummaryPerfect")
            << 36 << QStringLiteral("dailySummaryPerfect") << 3 << 0 << QStringLiteral("Handled.");
        QTest::newRow("dailySummaryPartial")
            << 37 << QStringLiteral("dailySummaryPartial") << 3 << 1 << QStringLiteral("Some done. Some not.");
        QTest::newRow("dailySummaryFailed")
            << 38 << QStringLiteral("dailySummaryFailed") << 3 << 2 << QStringLiteral("A whole day of avoidance.");
        QTest::newRow("statsDaysCompleted")
            << 39 << QStringLiteral("statsDaysCompleted") << 1 << 0 << QStringLiteral("days done");
        QTest::newRow("statsGoalDays") << 40 << QStringLiteral("statsGoalDays") << 1 << 0 << QStringLiteral("day goal");
        QTest::newRow("statsDaysRemaining")
            << 41 << QStringLiteral("statsDaysRemaining") << 1 << 0 << QStringLiteral("to go");
        QTest::newRow("celebrationMilestoneUnlocked")
            << 42 << QStringLiteral("celebrationMilestoneUnlocked") << 5 << 2
            << QStringLiteral("Done. You set it, you hit it. Now go follow through.");
        QTest::newRow("celebrationAllDailyDone")
            << 43 << QStringLiteral("celebrationAllDailyDone") << 5 << 1
            << QStringLiteral("All habits handled. Go do something fun — you've earned it.");
        QTest::newRow("celebrationStreakMilestone")
            << 44 << QStringLiteral("celebrationStreakMilestone") << 4 << 0
            << QStringLiteral("That's not luck, that's you being annoyingly consistent.");
        QTest::newRow("menuBarOverdue") << 45 << QStringLiteral("menuBarOverdue") << 1 << 0
                                        << QStringLiteral("Resolve these first");
        QTest::newRow("menuBarSkipped") << 46 << QStringLiteral("menuBarSkipped") << 1 << 0
                                        << QStringLiteral("Skipped for now");
        QTest::newRow("menuBarAccessibility")
            << 47 << QStringLiteral("menuBarAccessibility") << 1 << 0 << QStringLiteral("Ovlin — habit reminders");
        QTest::newRow("explainerReward")
            << 48 << QStringLiteral("explainerReward") << 3 << 0
            << QStringLiteral(
                   "Here's the thing about motivation: telling yourself 'I should be healthier' works for about two "
                   "days. Tying a habit to something you actually want — that works longer. Set a reward. Make it "
                   "specific. Make it something you'd genuinely feel bad about doing without earning it first.");
        QTest::newRow("explainerStreak")
            << 49 << QStringLiteral("explainerStreak") << 3 << 0
            << QStringLiteral("Streaks are annoying. That's the point. Once you're at day 9, breaking it starts to "
                              "feel like a small personal failure. Use that. It's not shame — it's momentum.");
        QTest::newRow("explainerMealSpecific")
            << 50 << QStringLiteral("explainerMealSpecific") << 2 << 0
            << QStringLiteral(
                   "Vague intentions are where habits go to die. 'Eat lunch' is not a plan. 'Grilled chicken and rice "
                   "at 12:30' is a plan. The more specific you are, the harder it is to talk yourself out of it.");
        QTest::newRow("explainerWater") << 51 << QStringLiteral("explainerWater") << 2 << 0
                                        << QStringLiteral(
                                               "You're probably dehydrated right now. Not dramatically — just the "
                                               "boring kind that makes you tired and gives you headaches you blame on "
                                               "other things. Set a goal. It's 2 liters. It's not complicated.");
        QTest::newRow("explainerMovement")
            << 52 << QStringLiteral("explainerMovement") << 2 << 0
            << QStringLiteral("Sitting for 8 hours isn't productivity. It's just sitting. A 5-minute break every 90 "
                              "minutes makes you sharper, not softer. Set the reminder.");
        QTest::newRow("explainerMeditation")
            << 53 << QStringLiteral("explainerMeditation") << 2 << 1
            << QStringLiteral("5 minutes of intentional breathing does more than you think, especially if your version "
                              "of 'taking a break' is switching to a different screen.");
        QTest::newRow("explainerGeneral")
            << 54 << QStringLiteral("explainerGeneral") << 3 << 0
            << QStringLiteral("Name it, time it, show up for it. That's the whole system. The rest is just excuses.");
    }

    void triggersAndPools()
    {
        QFETCH(int, ordinal);
        QFETCH(QString, name);
        QFETCH(int, size);
        QFETCH(int, position);
        QFETCH(QString, sample);

        const CopyTrigger trigger = triggerAt(ordinal);
        QCOMPARE(rawValue(trigger), name);
        QCOMPARE(copyTriggerFromRaw(name), std::optional<CopyTrigger>(trigger));
        const QStringList pool = CopyEngine::pool(trigger);
        QCOMPARE(pool.size(), size);
        QCOMPARE(pool.at(position), sample);
        QCOMPARE(CopyEngine::pools()[static_cast<std::size_t>(ordinal)], pool);
        QCOMPARE(singleTextTriggers.contains(name), size == 1);
    }

    void counts()
    {
        QCOMPARE(copyTriggerCount, 55);
        QCOMPARE(CopyEngine::pools().size(), std::size_t(55));

        QSet<QString> distinct;
        qsizetype total = 0;
        for (const QStringList &pool : CopyEngine::pools()) {
            QVERIFY(pool.size() >= 1 && pool.size() <= 5);
            total += pool.size();
            for (const QString &text : pool) {
                distinct.insert(text);
                QVERIFY2(!text.contains(u'[') && !text.contains(u'"') && !text.contains(u'\n'), qPrintable(text));
            }
        }
        QCOMPARE(total, qsizetype(176));
        QCOMPARE(distinct.size(), qsizetype(176));

        QCOMPARE(CopyEngine::categoryTexts().size(), std::size_t(6));
        for (const QStringList &lines : CopyEngine::categoryTexts())
            QCOMPARE(lines.size(), qsizetype(3));
    }

    void typographicCharacters()
    {
        const QChar emDash(0x2014);
        QCOMPARE(CopyEngine::pool(CopyTrigger::menuBarAccessibility).first(),
                 QStringLiteral("Ovlin ") + emDash + QStringLiteral(" habit reminders"));
        QCOMPARE(CopyEngine::pool(CopyTrigger::mealReminder).last(), QStringLiteral("Go eat. ") +
                                                                         QStringLiteral("That") + QChar(0x27) +
                                                                         QStringLiteral("s the whole brief."));
        QVERIFY(CopyEngine::pool(CopyTrigger::missedThreePlus).at(2).contains(QLatin1String("just... yeah")));

        int emDashes = 0;
        for (const QStringList &pool : CopyEngine::pools()) {
            for (const QString &text : pool) {
                emDashes += int(text.count(emDash));
                // Apostrophes and quotation marks are the plain ones, and dots are never an ellipsis.
                QVERIFY2(!text.contains(QChar(0x2019)) && !text.contains(QChar(0x2018)) &&
                             !text.contains(QChar(0x2026)) && !text.contains(QChar(0x2013)),
                         qPrintable(text));
            }
        }
        QCOMPARE(emDashes, 9);
    }

    void rawNames_data()
    {
        QTest::addColumn<QString>("raw");
        QTest::addColumn<int>("ordinal"); // -1: no trigger

        QTest::newRow("first case") << QStringLiteral("waterReminder") << 0;
        QTest::newRow("last case") << QStringLiteral("explainerGeneral") << 54;
        QTest::newRow("capitalised") << QStringLiteral("WaterReminder") << -1;
        QTest::newRow("lower case") << QStringLiteral("waterreminder") << -1;
        QTest::newRow("upper case") << QStringLiteral("WATERREMINDER") << -1;
        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("leading space") << QStringLiteral(" waterReminder") << -1;
        QTest::newRow("trailing space") << QStringLiteral("waterReminder ") << -1;
        QTest::newRow("ordinal text") << QStringLiteral("0") << -1;
        QTest::newRow("category name") << QStringLiteral("water") << -1;
    }

    void rawNames()
    {
        QFETCH(QString, raw);
        QFETCH(int, ordinal);
        const std::optional<CopyTrigger> expected =
            ordinal < 0 ? std::nullopt : std::optional<CopyTrigger>(triggerAt(ordinal));
        QCOMPARE(copyTriggerFromRaw(raw), expected);
    }

    void valuesOutsideTheEnumerationAreHarmless()
    {
        CopyEngine engine;
        const CopyTrigger outside = triggerAt(copyTriggerCount);
        QVERIFY(rawValue(outside).isEmpty());
        QVERIFY(CopyEngine::pool(outside).isEmpty());
        QCOMPARE(engine.text(outside), QString());
        QCOMPARE(engine.lastShown(outside), std::nullopt);
        QCOMPARE(engine.categoryText(static_cast<ReminderCategory>(6)), QString());
    }

    void categoryLines_data()
    {
        QTest::addColumn<ReminderCategory>("category");
        QTest::addColumn<CopyTrigger>("reminderTrigger");
        QTest::addColumn<QStringList>("lines");

        QTest::newRow("meal") << ReminderCategory::meal << CopyTrigger::mealReminder
                              << QStringList{QStringLiteral("Eat now and get it done."),
                                             QStringLiteral("Time to eat. Keep it simple."),
                                             QStringLiteral("Go eat. That's the whole brief.")};
        QTest::newRow("snack") << ReminderCategory::snack << CopyTrigger::snackReminder
                               << QStringList{QStringLiteral("Small fuel break. Do it now."),
                                              QStringLiteral("Quick snack break. Nothing fancy."),
                                              QStringLiteral("Eat something small and useful.")};
        QTest::newRow("water") << ReminderCategory::water << CopyTrigger::waterReminder
                               << QStringList{QStringLiteral("Drink some water and move on."),
                                              QStringLiteral("Quick water break. Nothing dramatic."),
                                              QStringLiteral("A glass of water would be a good call.")};
        QTest::newRow("movement") << ReminderCategory::movement << CopyTrigger::movementReminder
                                  << QStringList{QStringLiteral("Stand up and move a little."),
                                                 QStringLiteral("Quick movement break. That's enough."),
                                                 QStringLiteral("A short reset would help here.")};
        QTest::newRow("meditation") << ReminderCategory::meditation << CopyTrigger::meditationReminder
                                    << QStringList{QStringLiteral("Take a minute and breathe on purpose."),
                                                   QStringLiteral("Short reset. Sit down and do it."),
                                                   QStringLiteral("A little stillness would help right now.")};
        QTest::newRow("general") << ReminderCategory::general << CopyTrigger::generalReminder
                                 << QStringList{QStringLiteral("Time to do the thing."),
                                                QStringLiteral("Quick nudge. Handle it now."),
                                                QStringLiteral("Do it now so it stops taking up space.")};
    }

    void categoryLines()
    {
        QFETCH(ReminderCategory, category);
        QFETCH(CopyTrigger, reminderTrigger);
        QFETCH(QStringList, lines);

        QCOMPARE(CopyEngine::categoryTexts()[static_cast<std::size_t>(category)], lines);
        const QStringList reminderPool = CopyEngine::pool(reminderTrigger);
        for (const QString &line : lines)
            QVERIFY(reminderPool.contains(line));

        // Each line can come up, the same one twice in a row too, and nothing is remembered.
        auto random = std::make_shared<ScriptedRandom>(
            QList<quint64>{drawFor(0, 3), drawFor(1, 3), drawFor(2, 3), drawFor(2, 3)});
        CopyEngine engine(random);
        QCOMPARE(engine.categoryText(category), lines.at(0));
        QCOMPARE(engine.categoryText(category), lines.at(1));
        QCOMPARE(engine.categoryText(category), lines.at(2));
        QCOMPARE(engine.categoryText(category), lines.at(2));
        QCOMPARE(random->draws, 4);
        QVERIFY(!random->exhausted);
        for (int i = 0; i < copyTriggerCount; ++i)
            QCOMPARE(engine.lastShown(triggerAt(i)), std::nullopt);
    }

    void categoryTextRejectsBiasedDraw()
    {
        // For three lines a draw of 0 falls in the biased remainder and is drawn again.
        auto random = std::make_shared<ScriptedRandom>(QList<quint64>{0, maxDraw});
        CopyEngine engine(random);
        QCOMPARE(engine.categoryText(ReminderCategory::water),
                 QStringLiteral("A glass of water would be a good call."));
        QCOMPARE(random->draws, 2);
    }

    void fill_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<CopyContext>("context");
        QTest::addColumn<QString>("expected");

        const QString all = QStringLiteral("[habit_name]|[meal_name]|[snack_name]|[title]|[reward_name]|"
                                           "[streak_count]|[remaining] day[s]|[missed_count]|[current]|"
                                           "[required]|[progress_percent]|[duration]|[time_since_last]|[meal_time]");
        const CopyContext full{.habitName = QStringLiteral("Tea"),
                               .rewardName = QStringLiteral("Cake"),
                               .streakCount = 12,
                               .remaining = 3,
                               .missedCount = 2,
                               .current = 4,
                               .required = 7,
                               .progressPercent = 57,
                               .duration = QStringLiteral("5 min"),
                               .timeSinceLast = QStringLiteral("2 hours"),
                               .mealTime = QStringLiteral("12:30")};

        QTest::newRow("every field") << all << full
                                     << QStringLiteral("Tea|Tea|Tea|Tea|Cake|12|3 days|2|4|7|57%|5 min|2 hours|12:30");
        QTest::newRow("absent fields left as written") << all << CopyContext{} << all;
        QTest::newRow("habit name fills four placeholders")
            << QStringLiteral("[habit_name], [meal_name], [snack_name], [title]")
            << CopyContext{.habitName = QStringLiteral("Lunch")} << QStringLiteral("Lunch, Lunch, Lunch, Lunch");
        QTest::newRow("reward name") << QStringLiteral("Earn [reward_name].")
                                     << CopyContext{.rewardName = QStringLiteral("new shoes")}
                                     << QStringLiteral("Earn new shoes.");
        QTest::newRow("streak count") << QStringLiteral("[streak_count] in a row") << CopyContext{.streakCount = 21}
                                      << QStringLiteral("21 in a row");
        QTest::newRow("remaining 1") << QStringLiteral("[remaining] day[s] to go") << CopyContext{.remaining = 1}
                                     << QStringLiteral("1 day to go");
        QTest::newRow("remaining 0") << QStringLiteral("[remaining] day[s] to go") << CopyContext{.remaining = 0}
                                     << QStringLiteral("0 days to go");
        QTest::newRow("remaining 2") << QStringLiteral("[remaining] day[s] to go") << CopyContext{.remaining = 2}
                                     << QStringLiteral("2 days to go");
        QTest::newRow("remaining negative") << QStringLiteral("[remaining] day[s] to go")
                                            << CopyContext{.remaining = -1} << QStringLiteral("-1 days to go");
        QTest::newRow("remaining absent")
            << QStringLiteral("[remaining] day[s] to go") << CopyContext{.streakCount = 1, .current = 1}
            << QStringLiteral("[remaining] day[s] to go");
        QTest::newRow("day[s] alone") << QStringLiteral("One day[s] left, day[s] ahead") << CopyContext{.remaining = 1}
                                      << QStringLiteral("One day left, day ahead");
        QTest::newRow("missed count") << QStringLiteral("[missed_count] missed") << CopyContext{.missedCount = 3}
                                      << QStringLiteral("3 missed");
        QTest::newRow("current of required") << QStringLiteral("[current] of [required]")
                                             << CopyContext{.current = 4, .required = 7} << QStringLiteral("4 of 7");
        QTest::newRow("percent 100") << QStringLiteral("[progress_percent] today")
                                     << CopyContext{.progressPercent = 100} << QStringLiteral("100% today");
        QTest::newRow("percent 0") << QStringLiteral("[progress_percent]") << CopyContext{.progressPercent = 0}
                                   << QStringLiteral("0%");
        QTest::newRow("duration") << QStringLiteral("for [duration]")
                                  << CopyContext{.duration = QStringLiteral("10 min")} << QStringLiteral("for 10 min");
        QTest::newRow("time since last") << QStringLiteral("[time_since_last] ago")
                                         << CopyContext{.timeSinceLast = QStringLiteral("3 hours")}
                                         << QStringLiteral("3 hours ago");
        QTest::newRow("meal time") << QStringLiteral("at [meal_time]")
                                   << CopyContext{.mealTime = QStringLiteral("19:00")} << QStringLiteral("at 19:00");
        QTest::newRow("plain decimal") << QStringLiteral("[streak_count]") << CopyContext{.streakCount = 1234567}
                                       << QStringLiteral("1234567");
        QTest::newRow("smallest integer")
            << QStringLiteral("[current]") << CopyContext{.current = std::numeric_limits<qint64>::min()}
            << QStringLiteral("-9223372036854775808");
        QTest::newRow("every occurrence")
            << QStringLiteral("[habit_name] and [habit_name]") << CopyContext{.habitName = QStringLiteral("Tea")}
            << QStringLiteral("Tea and Tea");
        QTest::newRow("case-sensitive") << QStringLiteral("[Habit_Name] [HABIT_NAME] Day[s]")
                                        << CopyContext{.habitName = QStringLiteral("Tea"), .remaining = 1}
                                        << QStringLiteral("[Habit_Name] [HABIT_NAME] Day[s]");
        QTest::newRow("only present fields")
            << QStringLiteral("[habit_name] for [reward_name]") << CopyContext{.habitName = QStringLiteral("Tea")}
            << QStringLiteral("Tea for [reward_name]");
        QTest::newRow("value filled again by later step")
            << QStringLiteral("[habit_name]")
            << CopyContext{.habitName = QStringLiteral("[reward_name] in [remaining] day[s]"),
                           .rewardName = QStringLiteral("Cake"),
                           .remaining = 1}
            << QStringLiteral("Cake in 1 day");
        QTest::newRow("value with earlier placeholder kept")
            << QStringLiteral("[reward_name]")
            << CopyContext{.habitName = QStringLiteral("Tea"), .rewardName = QStringLiteral("[habit_name]")}
            << QStringLiteral("[habit_name]");
        QTest::newRow("value holding its own placeholder")
            << QStringLiteral("[habit_name]") << CopyContext{.habitName = QStringLiteral("[habit_name]!")}
            << QStringLiteral("[habit_name]!");
        QTest::newRow("no placeholder") << QStringLiteral("Time to do the thing.") << full
                                        << QStringLiteral("Time to do the thing.");
    }

    void fill()
    {
        QFETCH(QString, text);
        QFETCH(CopyContext, context);
        QFETCH(QString, expected);
        QCOMPARE(CopyEngine::fillPlaceholders(text, context), expected);
    }

    void fillTexts()
    {
        const CopyContext context{.habitName = QStringLiteral("Tea"), .remaining = 1};
        QCOMPARE(CopyEngine::fillTexts({}, context), QStringList());
        QCOMPARE(CopyEngine::fillTexts({QStringLiteral("[title] now"), QStringLiteral("plain"),
                                        QStringLiteral("[remaining] day[s]"), QStringLiteral("plain")},
                                       context),
                 (QStringList{QStringLiteral("Tea now"), QStringLiteral("plain"), QStringLiteral("1 day"),
                              QStringLiteral("plain")}));

        // The pools carry no placeholders: filling leaves them as they are.
        const CopyContext everything{.habitName = QStringLiteral("x"),
                                     .rewardName = QStringLiteral("x"),
                                     .streakCount = 1,
                                     .remaining = 1,
                                     .missedCount = 1,
                                     .current = 1,
                                     .required = 1,
                                     .progressPercent = 1,
                                     .duration = QStringLiteral("x"),
                                     .timeSinceLast = QStringLiteral("x"),
                                     .mealTime = QStringLiteral("x")};
        for (const QStringList &pool : CopyEngine::pools())
            QCOMPARE(CopyEngine::fillTexts(pool, everything), pool);
    }

    // The pick rule and its random draws, with a scripted source.
    void pick_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("last"); // null: nothing shown yet
        QTest::addColumn<QList<quint64>>("draws");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedDraws");

        const QStringList abc{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
        const QStringList five{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4"),
                               QStringLiteral("5")};
        const QStringList seven = five + QStringList{QStringLiteral("6"), QStringLiteral("7")};
        const QString none;

        QTest::newRow("empty list") << QStringList() << none << QList<quint64>() << QString() << 0;
        QTest::newRow("empty list after a text")
            << QStringList() << QStringLiteral("a") << QList<quint64>() << QString() << 0;
        QTest::newRow("one text") << QStringList{QStringLiteral("a")} << none << QList<quint64>() << QStringLiteral("a")
                                  << 0;
        QTest::newRow("one text right after it")
            << QStringList{QStringLiteral("a")} << QStringLiteral("a") << QList<quint64>() << QStringLiteral("a") << 0;
        QTest::newRow("nothing shown: first")
            << abc << none << QList<quint64>{drawFor(0, 3)} << QStringLiteral("a") << 1;
        QTest::newRow("nothing shown: last")
            << abc << none << QList<quint64>{drawFor(2, 3)} << QStringLiteral("c") << 1;
        QTest::newRow("last shown left out: first candidate")
            << abc << QStringLiteral("a") << QList<quint64>{drawFor(0, 2)} << QStringLiteral("b") << 1;
        QTest::newRow("last shown left out: second candidate")
            << abc << QStringLiteral("b") << QList<quint64>{drawFor(1, 2)} << QStringLiteral("c") << 1;
        QTest::newRow("last shown not in the list")
            << abc << QStringLiteral("z") << QList<quint64>{drawFor(2, 3)} << QStringLiteral("c") << 1;
        QTest::newRow("every copy of the last text left out")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")} << QStringLiteral("a")
            << QList<quint64>{drawFor(0, 1)} << QStringLiteral("b") << 1;
        QTest::newRow("identical texts") << QStringList{QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x")}
                                         << QStringLiteral("x") << QList<quint64>{drawFor(2, 3)} << QStringLiteral("x")
                                         << 1;
        QTest::newRow("two texts never reject") << QStringList{QStringLiteral("a"), QStringLiteral("b")} << none
                                                << QList<quint64>{0} << QStringLiteral("a") << 1;
        QTest::newRow("four texts never reject")
            << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d")} << none
            << QList<quint64>{0} << QStringLiteral("a") << 1;
        // (2^64 - 3) mod 3 = 1: a low half of 0 is rejected.
        QTest::newRow("rejected draw, three candidates")
            << abc << none << QList<quint64>{0, maxDraw} << QStringLiteral("c") << 2;
        QTest::newRow("rejected twice, five candidates")
            << five << none << QList<quint64>{0, 0, drawFor(3, 5)} << QStringLiteral("4") << 3;
        QTest::newRow("rejected after leaving the last out")
            << five + QStringList{QStringLiteral("6")} << QStringLiteral("6") << QList<quint64>{0, maxDraw}
            << QStringLiteral("5") << 2;
        // (2^64 - 7) mod 7 = 2: 0x6DB6DB6DB6DB6DB7 * 7 = 3 * 2^64 + 1 is rejected, twice that
        // (low half 2) is not.
        QTest::newRow("rejected low half 1, seven candidates")
            << seven << none << QList<quint64>{0x6DB6DB6DB6DB6DB7ULL, drawFor(6, 7)} << QStringLiteral("7") << 2;
        QTest::newRow("accepted low half 2, seven candidates")
            << seven << none << QList<quint64>{0xDB6DB6DB6DB6DB6EULL} << QStringLiteral("7") << 1;
    }

    void pick()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, last);
        QFETCH(QList<quint64>, draws);
        QFETCH(QString, expected);
        QFETCH(int, expectedDraws);

        auto random = std::make_shared<ScriptedRandom>(draws);
        CopyEngine engine(random);
        const CopyTrigger trigger = CopyTrigger::generalReminder;
        if (!last.isNull())
            engine.recordShown(trigger, last);
        const std::optional<QString> before = engine.lastShown(trigger);

        QCOMPARE(engine.pickText(texts, trigger), expected);
        QCOMPARE(random->draws, expectedDraws);
        QVERIFY(!random->exhausted);
        // The pick reads the memory and never writes it.
        QCOMPARE(engine.lastShown(trigger), before);
    }

    void noRepeat_data()
    {
        QTest::addColumn<int>("ordinal");
        for (int i = 0; i < copyTriggerCount; ++i)
            QTest::newRow(qPrintable(rawValue(triggerAt(i)))) << i;
    }

    // The real secure source: consecutive texts differ, and every text of the pool comes up.
    void noRepeat()
    {
        QFETCH(int, ordinal);
        const CopyTrigger trigger = triggerAt(ordinal);
        const QStringList pool = CopyEngine::pool(trigger);
        const CopyContext context{.habitName = QStringLiteral("Tea"), .streakCount = 3};

        CopyEngine engine;
        QCOMPARE(engine.lastShown(trigger), std::nullopt);
        QSet<QString> seen;
        QString previous;
        for (int i = 0; i < 100; ++i) {
            const QString text = engine.text(trigger, context);
            QVERIFY(pool.contains(text));
            QCOMPARE(engine.lastShown(trigger), std::optional<QString>(text));
            if (i > 0) {
                if (pool.size() == 1)
                    QCOMPARE(text, previous);
                else
                    QVERIFY2(text != previous, qPrintable(text));
            }
            previous = text;
            seen.insert(text);
        }
        QCOMPARE(seen.size(), pool.size());
    }

    void otherTriggerUnaffected()
    {
        const QStringList water = CopyEngine::pool(CopyTrigger::waterReminder);
        auto random = std::make_shared<ScriptedRandom>(QList<quint64>{drawFor(0, 5), drawFor(0, 4)});
        CopyEngine engine(random);
        engine.recordShown(CopyTrigger::mealReminder, water.first());

        // The text recorded under another trigger stays a candidate here...
        QCOMPARE(engine.pickText(water, CopyTrigger::waterReminder), water.first());
        QCOMPARE(engine.lastShown(CopyTrigger::waterReminder), std::nullopt);
        // ...and is left out only under its own trigger.
        QCOMPARE(engine.pickText(water, CopyTrigger::mealReminder), water.at(1));
        QCOMPARE(random->draws, 2);
    }

    void noRepeatWorksOnFilledTexts()
    {
        const QStringList texts{QStringLiteral("Hi [habit_name]"), QStringLiteral("Yo [habit_name]")};
        const CopyContext context{.habitName = QStringLiteral("Tea")};
        auto random = std::make_shared<ScriptedRandom>(QList<quint64>{drawFor(0, 1), drawFor(0, 2)});
        CopyEngine engine(random);
        engine.recordShown(CopyTrigger::habitCompleted, QStringLiteral("Hi Tea"));

        QCOMPARE(engine.pickText(CopyEngine::fillTexts(texts, context), CopyTrigger::habitCompleted),
                 QStringLiteral("Yo Tea"));
        // Unfilled texts never equal what was shown.
        QCOMPARE(engine.pickText(texts, CopyTrigger::habitCompleted), QStringLiteral("Hi [habit_name]"));
    }

    void textRecordsWhatItHandsOut()
    {
        const QStringList water = CopyEngine::pool(CopyTrigger::waterReminder);
        auto random = std::make_shared<ScriptedRandom>(QList<quint64>{drawFor(0, 5), drawFor(0, 4), drawFor(3, 4)});
        CopyEngine engine(random);

        QCOMPARE(engine.text(CopyTrigger::waterReminder), water.at(0));
        QCOMPARE(engine.lastShown(CopyTrigger::waterReminder), std::optional<QString>(water.at(0)));
        QCOMPARE(engine.text(CopyTrigger::waterReminder), water.at(1));
        QCOMPARE(engine.text(CopyTrigger::waterReminder), water.at(4));
        QCOMPARE(engine.lastShown(CopyTrigger::waterReminder), std::optional<QString>(water.at(4)));

        // A one-text pool needs no draw and repeats itself.
        QCOMPARE(engine.text(CopyTrigger::hallOfFame), QStringLiteral("Goals achieved."));
        QCOMPARE(engine.text(CopyTrigger::hallOfFame), QStringLiteral("Goals achieved."));
        QCOMPARE(engine.lastShown(CopyTrigger::hallOfFame), std::optional<QString>(QStringLiteral("Goals achieved.")));
        QCOMPARE(random->draws, 3);
        QVERIFY(!random->exhausted);
    }

    void lastShownStartsEmpty()
    {
        CopyEngine engine;
        for (int i = 0; i < copyTriggerCount; ++i)
            QCOMPARE(engine.lastShown(triggerAt(i)), std::nullopt);
    }

    void sharedEngine()
    {
        CopyEngine &engine = CopyEngine::shared();
        QCOMPARE(&CopyEngine::shared(), &engine);
        QCOMPARE(engine.text(CopyTrigger::menuBarOverdue), QStringLiteral("Resolve these first"));
        QCOMPARE(engine.lastShown(CopyTrigger::menuBarOverdue),
                 std::optional<QString>(QStringLiteral("Resolve these first")));

        auto random = std::make_shared<ScriptedRandom>(QList<quint64>{drawFor(1, 3)});
        engine.setRandomSource(random);
        QCOMPARE(engine.text(CopyTrigger::dailySummaryPerfect), QStringLiteral("Clean day."));
        engine.setRandomSource(nullptr);
        QCOMPARE(random->draws, 1);
        QVERIFY(
            CopyEngine::pool(CopyTrigger::dailySummaryPerfect).contains(engine.text(CopyTrigger::dailySummaryPerfect)));
        QCOMPARE(random->draws, 1);
    }
};

QTEST_GUILESS_MAIN(TestCopy)
#include "tst_copy.moc"
