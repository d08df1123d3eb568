#include "Platform/NotificationSchedule.h"

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
    m_entries.push_back(Entry{request, fireDate, m_nextSequence++});
    return true;
}

void NotificationSchedule::remove(const QStringList &identifiers)
{
    if (identifiers.isEmpty())
        return;
    std::erase_if(m_entries, [&](const Entry &e) { return identifiers.contains(e.request.identifier); });
}

void NotificationSchedule::clear()
{
    m_entries.clear();
}

QList<NotificationRequest> NotificationSchedule::requests() const
{
    QList<NotificationRequest> result;
    result.reserve(qsizetype(m_entries.size()));
    for (const Entry &e : m_entries)
        result.append(e.request);
    return result;
}

std::optional<NotificationRequest> NotificationSchedule::request(const QString &identifier) const
{
    for (const Entry &e : m_entries) {
        if (e.request.identifier == identifier)
            return e.request;
    }
    return std::nullopt;
}

std::optional<QDateTime> NotificationSchedule::nextFireDate(const QString &identifier) const
{
    for (const Entry &e : m_entries) {
        if (e.request.identifier == identifier)
            return e.fireDate;
    }
    return std::nullopt;
}

std::optional<QDateTime> NotificationSchedule::earliestFireDate() const
{
    std::optional<QDateTime> earliest;
    for (const Entry &e : m_entries) {
        if (!earliest || e.fireDate < *earliest)
            earliest = e.fireDate;
    }
    return earliest;
}

QList<NotificationRequest> NotificationSchedule::takeDue(const QDateTime &now)
{
    std::vector<const Entry *> due;
    for (const Entry &e : m_entries) {
        if (e.fireDate <= now)
            due.push_back(&e);
    }
    std::sort(due.begin(), due.end(), [](const Entry *a, const Entry *b) {
        if (a->fireDate != b->fireDate)
            return a->fireDate < b->fireDate;
        return a->sequence < b->sequence;
    });
    QList<NotificationRequest> result;
    result.reserve(qsizetype(due.size()));
    for (const Entry *e : due)
        result.append(e->request);

    // Re-arm repeating requests, drop the rest; the pointers above are not used past this point.
    std::erase_if(m_entries, [&](Entry &e) {
        if (e.fireDate > now)
            return false;
        if (!e.request.repeats())
            return true;
        e.fireDate = std::get<CalendarTrigger>(e.request.trigger).nextFireDate(now);
        return !e.fireDate.isValid();
    });
    return result;
}

void NotificationSchedule::recomputeCalendarTriggers(const QDateTime &now)
{
    std::erase_if(m_entries, [&](Entry &e) {
        const auto *calendar = std::get_if<CalendarTrigger>(&e.request.trigger);
        if (!calendar)
            return false;
        e.fireDate = calendar->nextFireDate(now);
        return !e.fireDate.isValid();
    });
}

} // namespace ovlin
