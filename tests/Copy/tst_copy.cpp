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

} // namespace

class TestCopy : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Order, raw name and pool size of every trigger, with one sampled text for some.
    void triggersAndPools_data()
    {
        QTest::addColumn<int>("ordinal");
        QTest::addColumn<int>("position"); // -1: no sampled text
        QTest::addColumn<QString>("sample");
        for (int i = 0; i < copyTriggerCount; ++i)
            QTest::newRow(qPrintable(rawValue(triggerAt(i)))) << i << -1 << QString();
        QTest::newRow("waterReminder text") << 0 << 0 << QStringLiteral("Drink some water and move on.");
        QTest::newRow("notificationFinal text") << 7 << 3 << QStringLiteral("Now or never. Your choice.");
        QTest::newRow("waterCompleted text")
            << 9 << 1 << QStringLiteral("Hydrated. Your kidneys have withdrawn their complaint. For now.");
        QTest::newRow("streakDay30 text")
            << 17 << 0 << QStringLiteral("30 days. Whatever you set as your reward — go get it.");
        QTest::newRow("missedThreePlus text")
            << 24 << 0 << QStringLiteral("Multiple days missed. The habit is just sitting here, waiting.");
        QTest::newRow("milestoneUnlocked text")
            << 27 << 2 << QStringLiteral("We didn't think you'd make it this far. Genuinely. Enjoy it.");
        QTest::newRow("hallOfFame text") << 35 << 0 << QStringLiteral("Goals achieved.");
        QTest::newRow("dailySummaryPartial text") << 37 << 1 << QStringLiteral("Some done. Some not.");
        QTest::newRow("menuBarAccessibility text") << 47 << 0 << QStringLiteral("Ovlin — habit reminders");
        QTest::newRow("explainerGeneral text")
            << 54 << 0
            << QStringLiteral("Name it, time it, show up for it. That's the whole system. The rest is just excuses.");
    }

    void triggersAndPools()
    {
        static const QStringList names =
            QStringLiteral(
                "waterReminder mealReminder snackReminder movementReminder meditationReminder generalReminder "
                "notificationFollowUp notificationFinal habitCompleted waterCompleted mealCompleted "
                "movementCompleted meditationCompleted streakDay3 streakDay7 streakDay14 streakDay21 "
                "streakDay30 streakBroken streakAtRisk streakAtRiskSoft graceUsed missedOnce missedTwice "
                "missedThreePlus milestoneProgress milestoneAlmostThere milestoneUnlocked milestoneFailed "
                "onboardingWelcome onboardingFirstHabit onboardingFirstMilestone emptyReminders emptyMilestones "
                "emptyStatistics hallOfFame dailySummaryPerfect dailySummaryPartial dailySummaryFailed "
                "statsDaysCompleted statsGoalDays statsDaysRemaining celebrationMilestoneUnlocked "
                "celebrationAllDailyDone celebrationStreakMilestone menuBarOverdue menuBarSkipped "
                "menuBarAccessibility explainerReward explainerStreak explainerMealSpecific explainerWater "
                "explainerMovement explainerMeditation explainerGeneral")
                .split(u' ');
        static const int sizes[] = {5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 5, 3, 3, 4, 3, 3, 4, 3, 3, 5,
                                    3, 3, 3, 3, 3, 3, 3, 1, 3, 3, 3, 1, 1, 1, 5, 5, 4, 1, 1, 1, 3, 3, 2, 2, 2, 2, 3};
        QFETCH(int, ordinal);
        QFETCH(int, position);
        QFETCH(QString, sample);

        const CopyTrigger trigger = triggerAt(ordinal);
        QCOMPARE(rawValue(trigger), names.at(ordinal));
        QCOMPARE(copyTriggerFromRaw(names.at(ordinal)), std::optional<CopyTrigger>(trigger));
        const QStringList pool = CopyEngine::pool(trigger);
        QCOMPARE(pool.size(), sizes[ordinal]);
        if (position >= 0)
            QCOMPARE(pool.at(position), sample);
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

        const QChar emDash(0x2014);
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
        QTest::newRow("water") << ReminderCategory::water << CopyTrigger::waterReminder
                               << QStringList{QStringLiteral("Drink some water and move on."),
                                              QStringLiteral("Quick water break. Nothing dramatic."),
                                              QStringLiteral("A glass of water would be a good call.")};
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
        QTest::newRow("remaining 1") << QStringLiteral("[remaining] day[s] to go") << CopyContext{.remaining = 1}
                                     << QStringLiteral("1 day to go");
        QTest::newRow("remaining 0") << QStringLiteral("[remaining] day[s] to go") << CopyContext{.remaining = 0}
                                     << QStringLiteral("0 days to go");
        QTest::newRow("remaining absent")
            << QStringLiteral("[remaining] day[s] to go") << CopyContext{.streakCount = 1, .current = 1}
            << QStringLiteral("[remaining] day[s] to go");
        QTest::newRow("day[s] alone") << QStringLiteral("One day[s] left, day[s] ahead") << CopyContext{.remaining = 1}
                                      << QStringLiteral("One day left, day ahead");
        QTest::newRow("smallest integer")
            << QStringLiteral("[current]") << CopyContext{.current = std::numeric_limits<qint64>::min()}
            << QStringLiteral("-9223372036854775808");
        QTest::newRow("case-sensitive") << QStringLiteral("[Habit_Name] [HABIT_NAME] Day[s]")
                                        << CopyContext{.habitName = QStringLiteral("Tea"), .remaining = 1}
                                        << QStringLiteral("[Habit_Name] [HABIT_NAME] Day[s]");
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
    }

    void fill()
    {
        QFETCH(QString, text);
        QFETCH(CopyContext, context);
        QFETCH(QString, expected);
        QCOMPARE(CopyEngine::fillPlaceholders(text, context), expected);
    }

    // The pick rule and its random draws, with a scripted source.
    void pick_data()
    {
        QTest::addColumn<QString>("letters"); // one text per letter
        QTest::addColumn<QString>("last");    // null: nothing shown yet
        QTest::addColumn<QList<quint64>>("draws");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("expectedDraws");
        const QString none;

        QTest::newRow("empty list") << "" << none << QList<quint64>() << QString() << 0;
        QTest::newRow("one text") << "a" << none << QList<quint64>() << "a" << 0;
        QTest::newRow("last shown left out") << "abc"
                                             << "a" << QList<quint64>{drawFor(0, 2)} << "b" << 1;
        QTest::newRow("last shown not in the list") << "abc"
                                                    << "z" << QList<quint64>{drawFor(2, 3)} << "c" << 1;
        QTest::newRow("every copy of the last text left out") << "aba"
                                                              << "a" << QList<quint64>{drawFor(0, 1)} << "b" << 1;
        QTest::newRow("identical texts") << "xxx"
                                         << "x" << QList<quint64>{drawFor(2, 3)} << "x" << 1;
        // (2^64 - 3) mod 3 = 1: a low half of 0 is rejected.
        QTest::newRow("rejected draw, three candidates") << "abc" << none << QList<quint64>{0, maxDraw} << "c" << 2;
        QTest::newRow("rejected twice, five candidates")
            << "12345" << none << QList<quint64>{0, 0, drawFor(3, 5)} << "4" << 3;
        // (2^64 - 7) mod 7 = 2: 0x6DB6DB6DB6DB6DB7 * 7 = 3 * 2^64 + 1 is rejected, twice that (low half 2) is not.
        QTest::newRow("rejected low half 1, seven candidates")
            << "1234567" << none << QList<quint64>{0x6DB6DB6DB6DB6DB7ULL, drawFor(6, 7)} << "7" << 2;
        QTest::newRow("accepted low half 2, seven candidates")
            << "1234567" << none << QList<quint64>{0xDB6DB6DB6DB6DB6EULL} << "7" << 1;
    }

    void pick()
    {
        QFETCH(QString, letters);
        QFETCH(QString, last);
        QFETCH(QList<quint64>, draws);
        QFETCH(QString, expected);
        QFETCH(int, expectedDraws);

        QStringList texts;
        for (const QChar letter : letters)
            texts.append(letter);
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
};

QTEST_GUILESS_MAIN(TestCopy)
#include "tst_copy.moc"
