#include "Copy/CopyTrigger.h"

#include <QStringView>

#include <array>

namespace ovlin {

namespace {

constexpr std::array<QStringView, copyTriggerCount> triggerNames{
    u"waterReminder",
    u"mealReminder",
    u"snackReminder",
    u"movementReminder",
    u"meditationReminder",
    u"generalReminder",
    u"notificationFollowUp",
    u"notificationFinal",
    u"habitCompleted",
    u"waterCompleted",
    u"mealCompleted",
    u"movementCompleted",
    u"meditationCompleted",
    u"streakDay3",
    u"streakDay7",
    u"streakDay14",
    u"streakDay21",
    u"streakDay30",
    u"streakBroken",
    u"streakAtRisk",
    u"streakAtRiskSoft",
    u"graceUsed",
    u"missedOnce",
    u"missedTwice",
    u"missedThreePlus",
    u"milestoneProgress",
    u"milestoneAlmostThere",
    u"milestoneUnlocked",
    u"milestoneFailed",
    u"onboardingWelcome",
    u"onboardingFirstHabit",
    u"onboardingFirstMilestone",
    u"emptyReminders",
    u"emptyMilestones",
    u"emptyStatistics",
    u"hallOfFame",
    u"dailySummaryPerfect",
    u"dailySummaryPartial",
    u"dailySummaryFailed",
    u"statsDaysCompleted",
    u"statsGoalDays",
    u"statsDaysRemaining",
    u"celebrationMilestoneUnlocked",
    u"celebrationAllDailyDone",
    u"celebrationStreakMilestone",
    u"menuBarOverdue",
    u"menuBarSkipped",
    u"menuBarAccessibility",
    u"explainerReward",
    u"explainerStreak",
    u"explainerMealSpecific",
    u"explainerWater",
    u"explainerMovement",
    u"explainerMeditation",
    u"explainerGeneral",
};

constexpr bool isValid(CopyTrigger trigger)
{
    return ordinal(trigger) >= 0 && ordinal(trigger) < copyTriggerCount;
}

static_assert(ordinal(CopyTrigger::explainerGeneral) == copyTriggerCount - 1);

} // namespace

QString rawValue(CopyTrigger trigger)
{
    // A value cast from outside the enumeration has no name.
    if (!isValid(trigger))
        return {};
    return triggerNames[static_cast<std::size_t>(ordinal(trigger))].toString();
}

std::optional<CopyTrigger> copyTriggerFromRaw(const QString &raw)
{
    for (int i = 0; i < copyTriggerCount; ++i) {
        if (triggerNames[static_cast<std::size_t>(i)] == raw)
            return static_cast<CopyTrigger>(i);
    }
    return std::nullopt;
}

} // namespace ovlin
