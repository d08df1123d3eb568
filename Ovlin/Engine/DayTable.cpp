#include "Engine/DayTable.h"

#include "Base/Clock.h"
#include "Base/Days.h"

#include <QTimeZone>
#include <QtGlobal>

namespace ovlin {

namespace {

constexpr qint64 msPerDay = 86400000;
constexpr qint64 unixEpochJulianDay = 2440588;
// Enough for years of walking back; a runaway walk must not grow the table without end.
constexpr std::size_t maxRememberedDays = 50000;
constexpr int zoneCheckEveryCalls = 4096;
constexpr qint64 zoneCheckEveryMs = 1000;

} // namespace

DayTable &DayTable::shared()
{
    static DayTable table;
    return table;
}

quint64 DayTable::revalidate()
{
    const QByteArray tzVariable = qgetenv("TZ");
    bool changed = !m_zoneKnown || tzVariable != m_tzVariable;
    const qint64 nowMs = Clock::nowMSecs();
    qint64 sinceCheck = 0;
    const bool clockJumped = __builtin_sub_overflow(nowMs, m_lastZoneCheckMs, &sinceCheck) || sinceCheck < 0;
    if (!changed && (++m_callsSinceZoneCheck >= zoneCheckEveryCalls || sinceCheck >= zoneCheckEveryMs || clockJumped)) {
        changed = QTimeZone::systemTimeZoneId() != m_zoneId;
        m_callsSinceZoneCheck = 0;
        m_lastZoneCheckMs = nowMs;
    }
    if (changed) {
        clear();
        ++m_generation;
        m_tzVariable = tzVariable;
        m_zoneId = QTimeZone::systemTimeZoneId();
        m_zoneKnown = true;
        m_callsSinceZoneCheck = 0;
        m_lastZoneCheckMs = nowMs;
    }
    return m_generation;
}

void DayTable::clear()
{
    m_days.clear();
    m_last.reset();
}

DayTable::Day DayTable::compute(const QDate &date) const
{
    Day day;
    day.date = date;
    if (!date.isValid())
        return day;
    const QDateTime start = Days::startOfDay(date);
    if (!start.isValid())
        return day;
    day.startMs = day.endMs = start.toMSecsSinceEpoch();
    const QDate nextDate = date.addDays(1);
    const QDateTime next = nextDate.isValid() ? Days::startOfDay(nextDate) : QDateTime();
    if (!next.isValid())
        return day;
    const qint64 nextMs = next.toMSecsSinceEpoch();
    if (nextMs <= day.startMs)
        return day;
    day.endMs = nextMs;

    const bool midnightToMidnight = start.date() == date && start.time() == QTime(0, 0) && next.date() == nextDate &&
                                    next.time() == QTime(0, 0) && nextMs - day.startMs == msPerDay;
    qint64 localMidnightMs = 0;
    if (midnightToMidnight &&
        !__builtin_mul_overflow(date.toJulianDay() - unixEpochJulianDay, msPerDay, &localMidnightMs)) {
        const qint64 offsetMs = localMidnightMs - day.startMs;
        if (offsetMs % 1000 == 0 && offsetMs > -86400000 && offsetMs < 86400000) {
            day.regular = true;
            day.offsetSeconds = int(offsetMs / 1000);
        }
    }
    return day;
}

DayTable::Day DayTable::day(const QDate &date)
{
    if (m_last && m_last->date == date)
        return *m_last;
    const qint64 key = date.toJulianDay();
    auto it = m_days.find(key);
    if (it == m_days.end()) {
        if (m_days.size() >= maxRememberedDays)
            m_days.clear();
        it = m_days.emplace(key, compute(date)).first;
    }
    m_last = it->second;
    return it->second;
}

std::optional<qint64> DayTable::msecs(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::nullopt;
    if (moment.timeSpec() == Qt::LocalTime) {
        const Day d = day(moment.date());
        if (d.regular)
            return d.startMs + moment.time().msecsSinceStartOfDay();
    }
    return moment.toMSecsSinceEpoch();
}

std::optional<DayTable::Day> DayTable::regularDayHolding(qint64 ms, const QDate &guess)
{
    if (!guess.isValid())
        return std::nullopt;
    for (const int shift : {0, -1, 1}) {
        const Day d = day(guess.addDays(shift));
        if (d.contains(ms))
            return d.regular ? std::optional<Day>(d) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<DayTable::Local> DayTable::local(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::nullopt;
    if (moment.timeSpec() == Qt::LocalTime)
        return Local{moment.date(), moment.time().msecsSinceStartOfDay()};
    const qint64 ms = moment.toMSecsSinceEpoch();
    if (const auto d = regularDayHolding(ms, moment.date()))
        return Local{d->date, int(ms - d->startMs)};
    const QDateTime inZone = moment.toLocalTime();
    return Local{inZone.date(), inZone.time().msecsSinceStartOfDay()};
}

std::optional<DayTable::Placed> DayTable::place(const QDateTime &moment)
{
    if (!moment.isValid())
        return std::nullopt;
    if (moment.timeSpec() == Qt::LocalTime) {
        const Local local{moment.date(), moment.time().msecsSinceStartOfDay()};
        const Day d = day(local.date);
        return Placed{d.regular ? d.startMs + local.msOfDay : moment.toMSecsSinceEpoch(), local};
    }
    const auto local = this->local(moment);
    return local ? std::optional<Placed>(Placed{moment.toMSecsSinceEpoch(), *local}) : std::nullopt;
}

std::optional<DayTable::Placed> DayTable::place(std::optional<qint64> ms)
{
    return ms ? std::optional<Placed>(Placed{*ms, localOfMSecs(*ms)}) : std::nullopt;
}

DayTable::Local DayTable::localOfMSecs(qint64 ms)
{
    if (const auto d = regularDayHolding(ms, QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).date()))
        return Local{d->date, int(ms - d->startMs)};
    const QDateTime inZone = QDateTime::fromMSecsSinceEpoch(ms);
    return Local{inZone.date(), inZone.time().msecsSinceStartOfDay()};
}

QDateTime DayTable::dateTime(qint64 ms)
{
    if (const auto d = regularDayHolding(ms, QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).date()))
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, d->offsetSeconds);
    return QDateTime::fromMSecsSinceEpoch(ms);
}

QDateTime DayTable::atTime(const QDate &date, int hour, int minute)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return {};
    const Day d = day(date);
    if (d.regular)
        return QDateTime::fromMSecsSinceEpoch(d.startMs + (hour * 60 + minute) * qint64(60000), Qt::OffsetFromUTC,
                                              d.offsetSeconds);
    return Days::atTime(date, hour, minute);
}

} // namespace ovlin
