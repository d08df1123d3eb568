#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

namespace ovlin::Days {

// All day arithmetic is in the system time zone; a day runs from its start to the start of the next.

QDateTime startOfDay(const QDateTime &moment);
QDateTime startOfDay(const QDate &day);
QDateTime startOfNextDay(const QDateTime &moment);

// Same wall-clock time `days` days later (or earlier), with the rules of atTime().
QDateTime addDays(const QDateTime &moment, int days);

// The moment at hour:minute:second on `day`. A time inside a daylight-saving gap becomes the
// next existing time (02:30 -> 03:00); a time that occurs twice takes its first occurrence.
QDateTime atTime(const QDate &day, int hour, int minute, int second = 0);
QDateTime atTime(const QDateTime &day, int hour, int minute, int second = 0);
// The hour and minute of `timeOfDay` (seconds dropped) placed on `day`.
QDateTime placeTimeOfDay(const QDateTime &timeOfDay, const QDateTime &day);

// Calendar weekday number: 1 Sunday, 2 Monday ... 7 Saturday.
int calendarWeekday(const QDate &day);
int calendarWeekday(const QDateTime &moment);

// Minutes since midnight from the hour and minute (seconds ignored).
int minuteOfDay(const QDateTime &moment);

bool isSameDay(const QDateTime &a, const QDateTime &b);

// A day written as a key: "yyyy-MM-dd".
QString dayKey(const QDateTime &moment);

} // namespace ovlin::Days
