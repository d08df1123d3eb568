#include "Platform/NotificationRequest.h"

#include "Base/Days.h"

#include <cmath>

namespace ovlin {

namespace {
// Keeps the millisecond conversion of an interval far from overflow.
constexpr double maxIntervalSeconds = 10.0 * 366 * 24 * 3600;
} // namespace

NotificationSound NotificationSound::defaultSound()
{
    return NotificationSound{QStringLiteral("message-new-instant")};
}

bool CalendarTrigger::isValid() const
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return false;
    return !weekday || (*weekday >= 1 && *weekday <= 7);
}

QDateTime CalendarTrigger::nextFireDate(const QDateTime &after) const
{
    if (!isValid() || !after.isValid())
        return {};
    const QDate today = after.toLocalTime().date();
    // Eight days cover "today, but the time has passed" for a weekly trigger.
    for (int offset = 0; offset <= 7; ++offset) {
        const QDate day = today.addDays(offset);
        if (weekday && Days::calendarWeekday(day) != *weekday)
            continue;
        const QDateTime candidate = Days::atTime(day, hour, minute);
        if (candidate.isValid() && candidate > after)
            return candidate;
    }
    return {};
}

QDateTime CalendarTrigger::previousFireDate(const QDateTime &atOrBefore) const
{
    if (!isValid() || !atOrBefore.isValid())
        return {};
    const QDate today = atOrBefore.toLocalTime().date();
    for (int offset = 0; offset <= 7; ++offset) {
        const QDate day = today.addDays(-offset);
        if (weekday && Days::calendarWeekday(day) != *weekday)
            continue;
        const QDateTime candidate = Days::atTime(day, hour, minute);
        if (candidate.isValid() && candidate <= atOrBefore)
            return candidate;
    }
    return {};
}

bool TimeIntervalTrigger::isValid() const
{
    return std::isfinite(seconds) && seconds > 0 && seconds <= maxIntervalSeconds;
}

QDateTime TimeIntervalTrigger::fireDate(const QDateTime &addedAt) const
{
    if (!isValid() || !addedAt.isValid())
        return {};
    return addedAt.addMSecs(static_cast<qint64>(std::llround(seconds * 1000.0)));
}

bool NotificationRequest::isValid() const
{
    if (identifier.isEmpty())
        return false;
    return std::visit([](const auto &t) { return t.isValid(); }, trigger);
}

bool NotificationRequest::repeats() const
{
    const auto *calendar = std::get_if<CalendarTrigger>(&trigger);
    return calendar && calendar->repeats;
}

} // namespace ovlin
