#pragma once

#include <QString>

#include <optional>

namespace ovlin {

// The occasions a phrase is asked for. The order is fixed: a case's ordinal indexes its pool.
// The raw value is the case name itself.
enum class CopyTrigger {
    waterReminder,                // 0
    mealReminder,                 // 1
    snackReminder,                // 2
    movementReminder,             // 3
    meditationReminder,           // 4
    generalReminder,              // 5
    notificationFollowUp,         // 6
    notificationFinal,            // 7
    habitCompleted,               // 8
    waterCompleted,               // 9
    mealCompleted,                // 10
    movementCompleted,            // 11
    meditationCompleted,          // 12
    streakDay3,                   // 13
    streakDay7,                   // 14
    streakDay14,                  // 15
    streakDay21,                  // 16
    streakDay30,                  // 17
    streakBroken,                 // 18
    streakAtRisk,                 // 19
    streakAtRiskSoft,             // 20
    graceUsed,                    // 21
    missedOnce,                   // 22
    missedTwice,                  // 23
    missedThreePlus,              // 24
    milestoneProgress,            // 25
    milestoneAlmostThere,         // 26
    milestoneUnlocked,            // 27
    milestoneFailed,              // 28
    onboardingWelcome,            // 29
    onboardingFirstHabit,         // 30
    onboardingFirstMilestone,     // 31
    emptyReminders,               // 32
    emptyMilestones,              // 33
    emptyStatistics,              // 34
    hallOfFame,                   // 35
    dailySummaryPerfect,          // 36
    dailySummaryPartial,          // 37
    dailySummaryFailed,           // 38
    statsDaysCompleted,           // 39
    statsGoalDays,                // 40
    statsDaysRemaining,           // 41
    celebrationMilestoneUnlocked, // 42
    celebrationAllDailyDone,      // 43
    celebrationStreakMilestone,   // 44
    menuBarOverdue,               // 45
    menuBarSkipped,               // 46
    menuBarAccessibility,         // 47
    explainerReward,              // 48
    explainerStreak,              // 49
    explainerMealSpecific,        // 50
    explainerWater,               // 51
    explainerMovement,            // 52
    explainerMeditation,          // 53
    explainerGeneral,             // 54
};

inline constexpr int copyTriggerCount = 55;

// The trigger's position in the fixed order (0 ... 54).
constexpr int ordinal(CopyTrigger trigger)
{
    return static_cast<int>(trigger);
}

QString rawValue(CopyTrigger trigger);

// Only the exact case name (case-sensitive) builds a trigger.
std::optional<CopyTrigger> copyTriggerFromRaw(const QString &raw);

} // namespace ovlin
