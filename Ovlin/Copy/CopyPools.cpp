#include "Copy/CopyEngine.h"

#include <QStringView>

// The engine's constant texts: one pool per trigger, in trigger order, and three short lines per
// reminder category. They are compiled in and never change while the program runs.

namespace ovlin {

namespace {

constexpr std::size_t maxPoolSize = 5;

struct PoolRow
{
    CopyTrigger trigger;
    std::array<QStringView, maxPoolSize> texts; // a pool's unused places stay empty
};

struct CategoryRow
{
    ReminderCategory category;
    std::array<QStringView, CopyEngine::linesPerCategory> texts;
};

// clang-format off
constexpr PoolRow poolRows[] = {
    // 0
    {CopyTrigger::waterReminder, {
        u"Drink some water and move on.",
        u"Quick water break. Nothing dramatic.",
        u"Hydration check. Do the simple thing.",
        u"A glass of water would be a good call.",
        u"Water first. Everything else after.",
    }},
    // 1
    {CopyTrigger::mealReminder, {
        u"Eat now and get it done.",
        u"Time to eat. Keep it simple.",
        u"Have the meal and carry on.",
        u"Quick meal break. No overthinking.",
        u"Go eat. That's the whole brief.",
    }},
    // 2
    {CopyTrigger::snackReminder, {
        u"Small fuel break. Do it now.",
        u"Grab the snack before the mood drop hits.",
        u"Eat something small and useful.",
        u"Quick snack break. Nothing fancy.",
        u"A small snack now will help later.",
    }},
    // 3
    {CopyTrigger::movementReminder, {
        u"Stand up and move a little.",
        u"Quick movement break. That's enough.",
        u"Move now. It doesn't need to be deep.",
        u"A short reset would help here.",
        u"Step away for a minute and come back better.",
    }},
    // 4
    {CopyTrigger::meditationReminder, {
        u"Take a minute and breathe on purpose.",
        u"Short reset. Sit down and do it.",
        u"Quiet minute. That's all.",
        u"Take the pause before the day keeps talking.",
        u"A little stillness would help right now.",
    }},
    // 5
    {CopyTrigger::generalReminder, {
        u"Time to do the thing.",
        u"Quick nudge. Handle it now.",
        u"This is your reminder. Keep moving.",
        u"Do it now so it stops taking up space.",
    }},
    // 6
    {CopyTrigger::notificationFollowUp, {
        u"Still open. You saw the first one.",
        u"Same task. Less patience this time.",
        u"Second reminder. Handle it or own the skip.",
        u"It's still sitting there. So what's the plan?",
    }},
    // 7
    {CopyTrigger::notificationFinal, {
        u"Last chance. After this it's a miss.",
        u"Final reminder. Pick a side.",
        u"This is the last nudge. After this, we call it what it is.",
        u"Now or never. Your choice.",
    }},
    // 8
    {CopyTrigger::habitCompleted, {
        u"Done. You're basically an athlete now.",
        u"Checked off. Look at you, functioning like a person.",
        u"Another one down. Don't ruin it.",
        u"Good. Now do it again tomorrow.",
    }},
    // 9
    {CopyTrigger::waterCompleted, {
        u"You drank water. Like an actual functioning adult. Proud of you. Seriously.",
        u"Hydrated. Your kidneys have withdrawn their complaint. For now.",
        u"Water consumed. Your future self is marginally less dehydrated. Well done.",
        u"Done. That wasn't hard, was it? Don't answer that.",
    }},
    // 10
    {CopyTrigger::mealCompleted, {
        u"Eaten. On schedule. Look at you go.",
        u"Meal done. Your body thanks you.",
        u"The plan is working. Keep it weird.",
        u"Ate the thing. At the time. That's progress.",
    }},
    // 11
    {CopyTrigger::movementCompleted, {
        u"Done. Your legs remember what they're for.",
        u"You moved. The chair is disappointed. You are not.",
        u"More than zero. That's the bar and you cleared it.",
        u"Done. Go back to what you were doing, slightly less stiff.",
    }},
    // 12
    {CopyTrigger::meditationCompleted, {
        u"Done. You sat still and didn't check your phone. Miracle.",
        u"Breathing completed. Mind marginally less chaotic.",
        u"You're a person who meditates now. Don't make it a personality.",
        u"Session complete. Whatever that did, it was worth it.",
    }},
    // 13
    {CopyTrigger::streakDay3, {
        u"3 days. Not impressive yet, but it's a start. Don't ruin it.",
        u"3 in a row. The bar is low and you're clearing it. Keep going.",
        u"Day 3. You've outlasted most New Year's resolutions. Barely.",
    }},
    // 14
    {CopyTrigger::streakDay7, {
        u"7 days straight. Either you're motivated or your life is suspiciously uneventful. Either way — keep it up.",
        u"One week. That's actually something. Don't get smug. Just keep going.",
        u"7 days. The habits are starting to stick. Or you're just stubborn. Both work.",
    }},
    // 15
    {CopyTrigger::streakDay14, {
        u"14 days. Longer than most gym memberships last.",
        u"Two weeks. You're annoyingly consistent. Keep it that way.",
        u"14 days straight. The reward is getting closer. Don't blow it.",
    }},
    // 16
    {CopyTrigger::streakDay21, {
        u"21 days. It's either a habit or a personality trait now.",
        u"Three weeks. Honestly didn't see this coming.",
        u"21 days. You've outlasted the '21 days to form a habit' thing. Keep going.",
    }},
    // 17
    {CopyTrigger::streakDay30, {
        u"30 days. Whatever you set as your reward — go get it.",
        u"One month. You've earned every single day.",
        u"30 days straight. We take back everything. You're impressive.",
    }},
    // 18
    {CopyTrigger::streakBroken, {
        u"Streak gone. Start over. We believe in you. Mostly.",
        u"And there it is. Moment of silence. New streak starts now.",
        u"Gone. Just like that. It's fine. Start again today, not 'tomorrow'.",
        u"Streak broken. Don't be dramatic. Just start again.",
        u"It happens. The important thing is what you do next.",
    }},
    // 19
    {CopyTrigger::streakAtRisk, {
        u"Grace day active. You've got until midnight. Just saying.",
        u"Streak on life support. You still have time. Do something.",
        u"Today's looking thin. Your streak would like a word.",
    }},
    // 20
    {CopyTrigger::streakAtRiskSoft, {
        u"Not a disaster yet, but you'll burn your grace day if you leave this hanging.",
        u"You can save the streak, but only by spending your one free pass. Handle it.",
        u"You're about to spend grace on this. Hope it's worth it.",
    }},
    // 21
    {CopyTrigger::graceUsed, {
        u"Grace day used. You've got zero left this week. Don't waste it.",
        u"That cost you your grace day. The streak survives. Barely.",
        u"Saved by grace. Not talent. Be careful tomorrow.",
        u"Grace spent. Next miss is real.",
    }},
    // 22
    {CopyTrigger::missedOnce, {
        u"You skipped it. Your body noticed even if you didn't.",
        u"Missed. It happens. Just don't make it a thing.",
        u"One miss. Don't let it become a pattern.",
    }},
    // 23
    {CopyTrigger::missedTwice, {
        u"Second day skipping. Starting to see a pattern here.",
        u"Two in a row. That's not forgetting — that's avoiding.",
        u"Twice now. The streak is getting nervous.",
    }},
    // 24
    {CopyTrigger::missedThreePlus, {
        u"Multiple days missed. The habit is just sitting here, waiting.",
        u"Your future self is shaking their head at you right now.",
        u"We're not mad. We're just... yeah, a little mad. Come on.",
        u"More skips than completions this week. That's a choice.",
    }},
    // 25
    {CopyTrigger::milestoneProgress, {
        u"Still on track. Keep moving.",
        u"Progress is progress. Don't stop now.",
        u"Getting closer. Not bad at all.",
    }},
    // 26
    {CopyTrigger::milestoneAlmostThere, {
        u"Almost there. Don't touch the skip button.",
        u"So close. You've come too far to blow it now.",
        u"We've seen people bail at this point. Don't be that person.",
    }},
    // 27
    {CopyTrigger::milestoneUnlocked, {
        u"It's yours. Go get it before you talk yourself out of it.",
        u"Reward earned. No guilt required. Go collect.",
        u"We didn't think you'd make it this far. Genuinely. Enjoy it.",
        u"Reward unlocked. Go claim it before you find a reason not to.",
        u"You set this goal. You hit this goal. Now go follow through.",
    }},
    // 28
    {CopyTrigger::milestoneFailed, {
        u"Reward on hold. The streak broke. Start fresh when you're ready.",
        u"The reward isn't going anywhere. Earn it properly next time.",
        u"Didn't make it. That's okay. The goal still exists.",
    }},
    // 29
    {CopyTrigger::onboardingWelcome, {
        u"Hey. I'm Ovlin. I'll remind you to eat, drink water, move, and breathe on purpose. You'd think this wouldn't need an app. And yet.",
        u"You downloaded this because something's not working. Let's fix that.",
        u"I'm going to be your least-ignorable habit. Set me up properly and I'll be worth it.",
    }},
    // 30
    {CopyTrigger::onboardingFirstHabit, {
        u"Start with whatever you skip most. That's the one you actually need.",
        u"One habit. Just one. You can overthink the rest later.",
        u"Pick a category, give it a time. That's it. Go.",
    }},
    // 31
    {CopyTrigger::onboardingFirstMilestone, {
        u"Something you'd feel genuinely bad about getting without earning. That's the one.",
        u"Pick something you actually want. Make it specific. 'Something nice' is not a reward.",
        u"The reward system only works if the reward is real. What do you actually want?",
    }},
    // 32
    {CopyTrigger::emptyReminders, {
        u"Nothing lined up. Fix that.",
        u"No habits. No reminders. Just vibes. Fix that.",
        u"Empty. Much like your hydration levels, probably.",
    }},
    // 33
    {CopyTrigger::emptyMilestones, {
        u"No reward set. That's on you.",
        u"Nothing to earn yet. Fix that.",
        u"No reward waiting. Kind of pathetic.",
    }},
    // 34
    {CopyTrigger::emptyStatistics, {
        u"Nothing to show yet. Do some habits first, then come back here and feel good about yourself.",
        u"Stats appear once you've actually done things. Go do things.",
        u"No data yet. Which is a kind way of saying: you haven't started.",
    }},
    // 35
    {CopyTrigger::hallOfFame, {
        u"Goals achieved.",
    }},
    // 36
    {CopyTrigger::dailySummaryPerfect, {
        u"Handled.",
        u"Clean day.",
        u"You actually did everything.",
    }},
    // 37
    {CopyTrigger::dailySummaryPartial, {
        u"Not perfect, not nothing.",
        u"Some done. Some not.",
        u"You left a few on the table.",
    }},
    // 38
    {CopyTrigger::dailySummaryFailed, {
        u"Well. That was a miss.",
        u"Nothing done today.",
        u"A whole day of avoidance.",
    }},
    // 39
    {CopyTrigger::statsDaysCompleted, {
        u"days done",
    }},
    // 40
    {CopyTrigger::statsGoalDays, {
        u"day goal",
    }},
    // 41
    {CopyTrigger::statsDaysRemaining, {
        u"to go",
    }},
    // 42
    {CopyTrigger::celebrationMilestoneUnlocked, {
        u"You actually did it. Reward earned. Go claim it.",
        u"Earned, not given. Go get it before you overthink it.",
        u"Done. You set it, you hit it. Now go follow through.",
        u"Honestly didn't think you'd make it. But here we are.",
        u"Reward unlocked. No one can take that from you now.",
    }},
    // 43
    {CopyTrigger::celebrationAllDailyDone, {
        u"Every single one. Done. You're disgusting (in the best way).",
        u"All habits handled. Go do something fun — you've earned it.",
        u"Clean sweep. Every single thing today. That's impressive.",
        u"100% today. Let it go to your head. You earned that.",
        u"All of them. Done. That's a level most people dream about.",
    }},
    // 44
    {CopyTrigger::celebrationStreakMilestone, {
        u"That's not luck, that's you being annoyingly consistent.",
        u"Most people quit at 3. You're built different.",
        u"At this point you're just showing off. Keep going.",
        u"Your past self would be impressed. Your future self says keep going.",
    }},
    // 45
    {CopyTrigger::menuBarOverdue, {
        u"Resolve these first",
    }},
    // 46
    {CopyTrigger::menuBarSkipped, {
        u"Skipped for now",
    }},
    // 47
    {CopyTrigger::menuBarAccessibility, {
        u"Ovlin — habit reminders",
    }},
    // 48
    {CopyTrigger::explainerReward, {
        u"Here's the thing about motivation: telling yourself 'I should be healthier' works for about two days. Tying a habit to something you actually want — that works longer. Set a reward. Make it specific. Make it something you'd genuinely feel bad about doing without earning it first.",
        u"Rewards aren't a bribe. They're a contract with yourself. You're the only one who can enforce it, which is exactly why it works.",
        u"Pick something real. 'A nice dinner' is vague and you'll give it to yourself anyway. 'The ACNE shoes on Thursday if I hit 30 days' — that's a reward.",
    }},
    // 49
    {CopyTrigger::explainerStreak, {
        u"Streaks are annoying. That's the point. Once you're at day 9, breaking it starts to feel like a small personal failure. Use that. It's not shame — it's momentum.",
        u"One missed day won't kill your streak, but it will kill your excuses. You get one grace day. Use it wisely.",
        u"The number isn't the point. The pattern is. A streak is just visible proof that you're the kind of person who actually does the thing.",
    }},
    // 50
    {CopyTrigger::explainerMealSpecific, {
        u"Vague intentions are where habits go to die. 'Eat lunch' is not a plan. 'Grilled chicken and rice at 12:30' is a plan. The more specific you are, the harder it is to talk yourself out of it.",
        u"You're going to be reminded of this meal. If you haven't decided what it is, you'll just skip it and call it 'not feeling like it.' Decide now.",
    }},
    // 51
    {CopyTrigger::explainerWater, {
        u"You're probably dehydrated right now. Not dramatically — just the boring kind that makes you tired and gives you headaches you blame on other things. Set a goal. It's 2 liters. It's not complicated.",
        u"Coffee doesn't count. Neither does the water in your oatmeal. Set a real goal and hit it.",
    }},
    // 52
    {CopyTrigger::explainerMovement, {
        u"Sitting for 8 hours isn't productivity. It's just sitting. A 5-minute break every 90 minutes makes you sharper, not softer. Set the reminder.",
        u"Your back has been quietly suffering. Movement breaks fix that. Also your focus, your energy, and your general tolerance for everything. Set one up.",
    }},
    // 53
    {CopyTrigger::explainerMeditation, {
        u"You don't have to believe in meditation. You just have to sit still and breathe for a few minutes. The bar is genuinely that low. Give it a week before you decide it's not for you.",
        u"5 minutes of intentional breathing does more than you think, especially if your version of 'taking a break' is switching to a different screen.",
    }},
    // 54
    {CopyTrigger::explainerGeneral, {
        u"Name it, time it, show up for it. That's the whole system. The rest is just excuses.",
        u"A vague intention is not a habit. A scheduled reminder is. Set it up properly.",
        u"You already decided this matters. Now make it automatic.",
    }},
};

constexpr CategoryRow categoryRows[] = {
    {ReminderCategory::meal, {
        u"Eat now and get it done.",
        u"Time to eat. Keep it simple.",
        u"Go eat. That's the whole brief.",
    }},
    {ReminderCategory::snack, {
        u"Small fuel break. Do it now.",
        u"Quick snack break. Nothing fancy.",
        u"Eat something small and useful.",
    }},
    {ReminderCategory::water, {
        u"Drink some water and move on.",
        u"Quick water break. Nothing dramatic.",
        u"A glass of water would be a good call.",
    }},
    {ReminderCategory::movement, {
        u"Stand up and move a little.",
        u"Quick movement break. That's enough.",
        u"A short reset would help here.",
    }},
    {ReminderCategory::meditation, {
        u"Take a minute and breathe on purpose.",
        u"Short reset. Sit down and do it.",
        u"A little stillness would help right now.",
    }},
    {ReminderCategory::general, {
        u"Time to do the thing.",
        u"Quick nudge. Handle it now.",
        u"Do it now so it stops taking up space.",
    }},
};
// clang-format on

constexpr std::size_t poolSize(const PoolRow &row)
{
    std::size_t size = 0;
    while (size < maxPoolSize && !row.texts[size].isEmpty())
        ++size;
    return size;
}

// Every pool sits at its trigger's ordinal, holds at least one text, and has no gaps.
constexpr bool poolRowsInOrder()
{
    for (std::size_t i = 0; i < std::size(poolRows); ++i) {
        const PoolRow &row = poolRows[i];
        if (static_cast<std::size_t>(ordinal(row.trigger)) != i || poolSize(row) == 0)
            return false;
        for (std::size_t k = poolSize(row); k < maxPoolSize; ++k) {
            if (!row.texts[k].isEmpty())
                return false;
        }
    }
    return true;
}

constexpr std::size_t totalPoolTexts()
{
    std::size_t total = 0;
    for (const PoolRow &row : poolRows)
        total += poolSize(row);
    return total;
}

constexpr bool categoryRowsInOrder()
{
    for (std::size_t i = 0; i < std::size(categoryRows); ++i) {
        if (static_cast<std::size_t>(categoryRows[i].category) != i)
            return false;
        for (const QStringView text : categoryRows[i].texts) {
            if (text.isEmpty())
                return false;
        }
    }
    return true;
}

static_assert(std::size(poolRows) == copyTriggerCount);
static_assert(poolRowsInOrder());
static_assert(totalPoolTexts() == 176);
static_assert(std::size(categoryRows) == CopyEngine::categoryCount);
static_assert(categoryRowsInOrder());

// The literals live for the whole run, so the lists can point at them instead of copying.
QString staticText(QStringView text)
{
    return QString::fromRawData(text.data(), text.size());
}

} // namespace

const std::array<QStringList, copyTriggerCount> &CopyEngine::pools()
{
    static const std::array<QStringList, copyTriggerCount> lists = [] {
        std::array<QStringList, copyTriggerCount> built;
        for (std::size_t i = 0; i < built.size(); ++i) {
            const PoolRow &row = poolRows[i];
            for (std::size_t k = 0; k < poolSize(row); ++k)
                built[i].append(staticText(row.texts[k]));
        }
        return built;
    }();
    return lists;
}

const std::array<QStringList, CopyEngine::categoryCount> &CopyEngine::categoryTexts()
{
    static const std::array<QStringList, categoryCount> lists = [] {
        std::array<QStringList, categoryCount> built;
        for (std::size_t i = 0; i < built.size(); ++i) {
            for (const QStringView text : categoryRows[i].texts)
                built[i].append(staticText(text));
        }
        return built;
    }();
    return lists;
}

} // namespace ovlin
