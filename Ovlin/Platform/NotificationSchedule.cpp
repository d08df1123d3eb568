#include "Platform/NotificationSchedule.h"

#include "Base/Days.h"

#include <QHash>

#include <algorithm>

namespace ovlin {

namespace {

QDateTime firstFireDate(const NotificationRequest &request, const QDateTime &now)
{
    if (const auto *calendar = std::get_if<CalendarTrigger>(&request.trigger))
        return calendar->nextFireDate(now);
    return std::get<TimeIntervalTrigger>(request.trigger).fireDate(now);
}

} // namespace

bool NotificationSchedule::add(const NotificationRequest &request, const QDateTime &now)
{
    if (!request.isValid())
        return false;
    const QDateTime fireDate = firstFireDate(request, now);
    if (!fireDate.isValid())
        return false;
    remove({request.identifier});
    insert(m_nextSequence++, Entry{request, fireDate, now});
    return true;
}

bool NotificationSchedule::hasPassed(const Entry &entry, const CalendarTrigger &trigger, const QDateTime &occurrence)
{
    if (!entry.passedUntil.isValid() || occurrence > entry.passedUntil)
        return false;
    // Two hours short of the period, so that a daylight-saving change never makes the previous occurrence count.
    const qint64 period = (trigger.weekday ? 7 : 1) * 24 * 3600 - 2 * 3600;
    return occurrence.secsTo(entry.passedUntil) < period;
}

void NotificationSchedule::insert(Sequence sequence, Entry entry)
{
    m_byIdentifier.emplace(entry.request.identifier, sequence);
    m_byFireDate.emplace(entry.fireDate.toMSecsSinceEpoch(), sequence);
    m_entries.emplace(sequence, std::move(entry));
}

void NotificationSchedule::erase(std::map<Sequence, Entry>::iterator it)
{
    m_byIdentifier.erase(it->second.request.identifier);
    m_byFireDate.erase(FireKey{it->second.fireDate.toMSecsSinceEpoch(), it->first});
    m_entries.erase(it);
}

void NotificationSchedule::reschedule(std::map<Sequence, Entry>::iterator it, const QDateTime &fireDate)
{
    if (!fireDate.isValid()) {
        erase(it);
        return;
    }
    m_byFireDate.erase(FireKey{it->second.fireDate.toMSecsSinceEpoch(), it->first});
    it->second.fireDate = fireDate;
    m_byFireDate.emplace(fireDate.toMSecsSinceEpoch(), it->first);
}

void NotificationSchedule::remove(const QStringList &identifiers)
{
    for (const QString &identifier : identifiers) {
        const auto found = m_byIdentifier.find(identifier);
        if (found != m_byIdentifier.end())
            erase(m_entries.find(found->second));
    }
}

void NotificationSchedule::clear()
{
    m_entries.clear();
    m_byIdentifier.clear();
    m_byFireDate.clear();
}

QList<NotificationRequest> NotificationSchedule::requests() const
{
    QList<NotificationRequest> result;
    result.reserve(qsizetype(m_entries.size()));
    for (const auto &[sequence, entry] : m_entries)
        result.append(entry.request);
    return result;
}

QStringList NotificationSchedule::identifiers(const QString &prefix) const
{
    QStringList result;
    // Identifiers sharing a prefix sort next to each other, from the prefix itself on.
    for (auto it = m_byIdentifier.lower_bound(prefix); it != m_byIdentifier.end(); ++it) {
        if (!it->first.startsWith(prefix, Qt::CaseSensitive))
            break;
        result.append(it->first);
    }
    return result;
}

std::optional<NotificationRequest> NotificationSchedule::request(const QString &identifier) const
{
    const auto found = m_byIdentifier.find(identifier);
    if (found == m_byIdentifier.end())
        return std::nullopt;
    return m_entries.at(found->second).request;
}

std::optional<QDateTime> NotificationSchedule::nextFireDate(const QString &identifier) const
{
    const auto found = m_byIdentifier.find(identifier);
    if (found == m_byIdentifier.end())
        return std::nullopt;
    return m_entries.at(found->second).fireDate;
}

std::optional<QDateTime> NotificationSchedule::earliestFireDate() const
{
    if (m_byFireDate.empty())
        return std::nullopt;
    return m_entries.at(m_byFireDate.begin()->second).fireDate;
}

QList<NotificationSchedule::Due> NotificationSchedule::takeDue(const QDateTime &now)
{
    const qint64 nowMs = now.toMSecsSinceEpoch();
    std::vector<Sequence> due;
    for (auto it = m_byFireDate.begin(); it != m_byFireDate.end() && it->first <= nowMs; ++it)
        due.push_back(it->second);

    struct Candidate
    {
        Due due;
        Sequence sequence;
    };
    std::vector<Candidate> delivered;
    // Per collapse group, the index in `delivered` of its latest one-shot firing.
    QHash<QString, std::size_t> latestOfGroup;
    for (const Sequence sequence : due) {
        const auto it = m_entries.find(sequence);
        Entry &entry = it->second;
        if (entry.request.repeats()) {
            const CalendarTrigger &trigger = std::get<CalendarTrigger>(entry.request.trigger);
            // After a long sleep the latest occurrence stands for the missed ones; only today's is delivered,
            // and never one that had its turn before the clock went back.
            const QDateTime latest = trigger.previousFireDate(now);
            if (latest.isValid() && Days::isSameDay(latest, now) && !hasPassed(entry, trigger, latest))
                delivered.push_back(Candidate{Due{entry.request, latest}, sequence});
            if (now > entry.passedUntil)
                entry.passedUntil = now;
            reschedule(it, trigger.nextFireDate(now));
            continue;
        }
        Due firing{entry.request, entry.fireDate};
        erase(it);
        if (!Days::isSameDay(firing.fireDate, now))
            continue;
        const QString group = firing.request.content.collapseGroup;
        if (group.isEmpty()) {
            delivered.push_back(Candidate{std::move(firing), sequence});
            continue;
        }
        // Taken in fire order, so a later firing of the group replaces the earlier one.
        const auto known = latestOfGroup.constFind(group);
        if (known != latestOfGroup.constEnd()) {
            delivered[*known] = Candidate{std::move(firing), sequence};
        } else {
            latestOfGroup.insert(group, delivered.size());
            delivered.push_back(Candidate{std::move(firing), sequence});
        }
    }

    std::stable_sort(delivered.begin(), delivered.end(), [](const Candidate &a, const Candidate &b) {
        const qint64 am = a.due.fireDate.toMSecsSinceEpoch();
        const qint64 bm = b.due.fireDate.toMSecsSinceEpoch();
        return am != bm ? am < bm : a.sequence < b.sequence;
    });
    QList<Due> result;
    result.reserve(qsizetype(delivered.size()));
    for (Candidate &c : delivered)
        result.append(std::move(c.due));
    return result;
}

void NotificationSchedule::recomputeCalendarTriggers(const QDateTime &now)
{
    std::vector<Sequence> calendar;
    for (const auto &[sequence, entry] : m_entries) {
        if (std::holds_alternative<CalendarTrigger>(entry.request.trigger))
            calendar.push_back(sequence);
    }
    for (const Sequence sequence : calendar) {
        const auto it = m_entries.find(sequence);
        const CalendarTrigger &trigger = std::get<CalendarTrigger>(it->second.request.trigger);
        QDateTime next = trigger.nextFireDate(now);
        // The clock went back over an occurrence that has had its turn: the one after is next.
        if (next.isValid() && hasPassed(it->second, trigger, next))
            next = trigger.nextFireDate(it->second.passedUntil);
        reschedule(it, next);
    }
}

} // namespace ovlin
