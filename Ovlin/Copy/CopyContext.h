#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace ovlin {

// The values a phrase's placeholders are filled from. A caller sets only what its occasion has;
// an absent field leaves its placeholder in the text as written. Every field has a default so
// designated initializers can name just the ones an occasion has.
struct CopyContext
{
    std::optional<QString> habitName = std::nullopt;      // "[habit_name]", "[meal_name]", "[snack_name]", "[title]"
    std::optional<QString> rewardName = std::nullopt;     // "[reward_name]"
    std::optional<qint64> streakCount = std::nullopt;     // "[streak_count]"
    std::optional<qint64> remaining = std::nullopt;       // "[remaining]" and "day[s]"
    std::optional<qint64> missedCount = std::nullopt;     // "[missed_count]"
    std::optional<qint64> current = std::nullopt;         // "[current]"
    std::optional<qint64> required = std::nullopt;        // "[required]"
    std::optional<qint64> progressPercent = std::nullopt; // "[progress_percent]", written with "%" after it
    std::optional<QString> duration = std::nullopt;       // "[duration]"
    std::optional<QString> timeSinceLast = std::nullopt;  // "[time_since_last]"
    std::optional<QString> mealTime = std::nullopt;       // "[meal_time]"
};

} // namespace ovlin
