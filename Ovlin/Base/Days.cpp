#include "Base/Days.h"

#include <array>

namespace ovlin::Days {

QDateTime startOfDay(const QDateTime &moment)
{
    return moment.toLocalTime().date().startOfDay();
}

QDateTime startOfDay(const QDate &day)
{
    return day.startOfDay();
}

QDateTime startOfNextDay(const QDateTime &moment)
{
    return moment.toLocalTime().date().addDays(1).startOfDay();
}

QDateTime addDays(const QDateTime &moment, int days)
{
    const QDateTime local = moment.toLocalTime();
    const QTime t = local.time();
    QDateTime result = atTime(local.date().addDays(days), t.hour(), t.minute(), t.second());
    return result.addMSecs(t.msec());
}

namespace {

bool isExactly(const QDateTime &dt, const QDate &day, const QTime &t)
{
    return dt.isValid() && dt.date() == day && dt.time() == t;
}

} // namespace

QDateTime atTime(const QDate &day, int hour, int minute, int second)
{
    const QTime wanted(hour, minute, second);
    if (!day.isValid() || !wanted.isValid())
        return {};
    QDateTime dt(day, wanted, Qt::LocalTime);
    if (!isExactly(dt, day, wanted)) {
        // Inside a gap: walk forward to the first minute that exists on this day.
        QTime t = QTime(hour, minute);
        QDateTime found;
        for (int step = 1; step <= 24 * 60; ++step) {
            const QTime next = t.addSecs(60 * step);
            if (next < t)
                break; // past midnight
            const QDateTime candidate(day, next, Qt::LocalTime);
            if (isExactly(candidate, day, next)) {
                found = candidate;
                break;
            }
        }
        return found.isValid() ? found : day.addDays(1).startOfDay();
    }
    // A repeated time: keep its first occurrence.
    static constexpr std::array<int, 4> shifts{7200, 3600, 2700, 1800};
    for (const int shift : shifts) {
        const QDateTime earlier = QDateTime::fromMSecsSinceEpoch(dt.toMSecsSinceEpoch() - qint64(shift) * 1000);
        if (isExactly(earlier, day, wanted))
            return earlier;
    }
    return dt;
}

QDateTime atTime(const QDateTime &day, int hour, int minute, int second)
{
    return atTime(day.toLocalTime().date(), hour, minute, second);
}

QDateTime placeTimeOfDay(const QDateTime &timeOfDay, const QDateTime &day)
{
    const QTime t = timeOfDay.toLocalTime().time();
    return atTime(day, t.hour(), t.minute());
}

int calendarWeekday(const QDate &day)
{
    // Qt counts 1 Monday ... 7 Sunday.
    return day.dayOfWeek() % 7 + 1;
}

int calendarWeekday(const QDateTime &moment)
{
    return calendarWeekday(moment.toLocalTime().date());
}

int minuteOfDay(const QDateTime &moment)
{
    const QTime t = moment.toLocalTime().time();
    return t.hour() * 60 + t.minute();
}

bool isSameDay(const QDateTime &a, const QDateTime &b)
{
    return a.toLocalTime().date() == b.toLocalTime().date();
}

QString dayKey(const QDateTime &moment)
{
    return moment.toLocalTime().date().toString(QStringLiteral("yyyy-MM-dd"));
}

} // namespace ovlin::Days
