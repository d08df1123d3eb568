#pragma once

#include "Platform/NotificationRequest.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

#include <optional>
#include <vector>

namespace ovlin {

// The pending requests of a notification centre with the moment each fires next.
// Pure bookkeeping: the caller passes the current time and owns the timer.
class NotificationSchedule
{
public:
    // Adds a valid request, replacing a pending one with the same identifier. False for an invalid request,
    // which leaves the schedule unchanged.
    bool add(const NotificationRequest &request, const QDateTime &now);
    // Removes the pending requests with exactly these identifiers; unknown identifiers are ignored.
    void remove(const QStringList &identifiers);
    void clear();

    // Pending requests in the order they were added.
    QList<NotificationRequest> requests() const;
    std::optional<NotificationRequest> request(const QString &identifier) const;
    bool isEmpty() const { return m_entries.empty(); }

    std::optional<QDateTime> nextFireDate(const QString &identifier) const;
    std::optional<QDateTime> earliestFireDate() const;

    // Takes the requests due at `now` in the order of their fire dates. One-shot requests leave the schedule;
    // repeating ones move to their next fire date after `now`, so occurrences missed while asleep fire once.
    QList<NotificationRequest> takeDue(const QDateTime &now);

    // Recomputes every calendar trigger from `now`, after the wall clock or the time zone changed. Call it after
    // takeDue() so that nothing due is skipped.
    void recomputeCalendarTriggers(const QDateTime &now);

private:
    struct Entry
    {
        NotificationRequest request;
        QDateTime fireDate;
        quint64 sequence = 0;
    };

    std::vector<Entry> m_entries;
    quint64 m_nextSequence = 0;
};

} // namespace ovlin
