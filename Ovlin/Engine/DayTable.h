#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>

#include <optional>
#include <unordered_map>

namespace ovlin {

// Day boundaries and wall-clock placement in the system time zone, remembered per calendar day.
//
// Turning an instant into local time (or back) through the C library re-reads the zone on every call
// and costs a microsecond or more; the engine does it for every log and every interval step. A day
// without a clock change is simply its start plus the time of day, so each day is worked out once with
// Days and everything inside it is arithmetic. Days with a clock change go through Days as before.
// A change of the system time zone empties the table (checked on every engine entry through
// revalidate(): the TZ variable at once, the system zone at least every second).
//
// Date-times made here for regular days carry the local offset (Qt::OffsetFromUTC): the same instant
// and the same wall-clock date and time as a local date-time, but cheap to read. Do day arithmetic on
// them through Days as on any other date-time. Main thread only.
class DayTable
{
public:
    struct Day
    {
        QDate date;
        // The day's window: [startMs, endMs). Empty (endMs == startMs) when the calendar cannot give it.
        qint64 startMs = 0;
        qint64 endMs = 0;
        // Starts at 00:00, ends 24 hours later at the next 00:00: wall time = startMs + time of day.
        bool regular = false;
        // Offset from UTC in seconds; meaningful when regular.
        int offsetSeconds = 0;

        bool isEmpty() const { return endMs <= startMs; }
        bool contains(qint64 ms) const { return startMs <= ms && ms < endMs; }
    };

    // Wall-clock date and milliseconds since its midnight.
    struct Local
    {
        QDate date;
        int msOfDay = 0;

        int minuteOfDay() const { return msOfDay / 60000; }
        // One number per calendar minute: same year, month, day, hour and minute give the same key.
        qint64 minuteKey() const { return date.toJulianDay() * 1440 + msOfDay / 60000; }
    };

    // An instant with its wall-clock date and time.
    struct Placed
    {
        qint64 instant = 0;
        Local local;
    };

    static DayTable &shared();

    // Forgets every remembered day when the system time zone changed; returns the zone generation.
    quint64 revalidate();
    quint64 zoneGeneration() const { return m_generation; }

    Day day(const QDate &date);
    // The exact instant of `moment` (milliseconds since 1970); none for an invalid date-time.
    std::optional<qint64> msecs(const QDateTime &moment);
    // The wall-clock date and time of `moment` in the current zone; none for an invalid date-time.
    std::optional<Local> local(const QDateTime &moment);
    Local localOfMSecs(qint64 ms);
    // Both of the above at once.
    std::optional<Placed> place(const QDateTime &moment);
    std::optional<Placed> place(std::optional<qint64> ms);
    // A date-time at `ms` that reads as local wall time.
    QDateTime dateTime(qint64 ms);
    // hour:minute:00 on `date` with the rules of Days::atTime (gap: next existing time; repeated: first).
    QDateTime atTime(const QDate &date, int hour, int minute);

private:
    Day compute(const QDate &date) const;
    // The regular day holding `ms` among `guess` and its neighbours, if there is one.
    std::optional<Day> regularDayHolding(qint64 ms, const QDate &guess);
    void clear();

    std::unordered_map<qint64, Day> m_days;
    std::optional<Day> m_last;
    quint64 m_generation = 1;
    QByteArray m_tzVariable;
    QByteArray m_zoneId;
    qint64 m_lastZoneCheckMs = 0;
    int m_callsSinceZoneCheck = 0;
    bool m_zoneKnown = false;
};

} // namespace ovlin
