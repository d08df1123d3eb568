#pragma once

#include "Platform/NotificationRequest.h"

#include <QDateTime>
#include <QList>
#include <QStringList>

#include <map>
#include <optional>
#include <set>
#include <utility>

namespace ovlin {

// The pending requests of a notification centre with the moment each fires next, indexed by identifier (so a
// reminder's requests are found by their common prefix) and by fire date. Adding, removing and finding cost
// O(log n). Pure bookkeeping: the caller passes the current time and owns the timer.
class NotificationSchedule
{
public:
    // A request that fell due, with the instant its trigger fired (not the moment it was noticed).
    struct Due
    {
        NotificationRequest request;
        QDateTime fireDate;
    };

    // Adds a valid request, replacing a pending one with the same identifier. False for an invalid request,
    // which leaves the schedule unchanged.
    bool add(const NotificationRequest &request, const QDateTime &now);
    // Removes the pending requests with exactly these identifiers; unknown identifiers are ignored.
    void remove(const QStringList &identifiers);
    void clear();

    // Pending requests in the order they were added.
    QList<NotificationRequest> requests() const;
    // Identifiers of the pending requests that begin with `prefix`, in identifier order.
    QStringList identifiers(const QString &prefix) const;
    std::optional<NotificationRequest> request(const QString &identifier) const;
    bool isEmpty() const { return m_entries.empty(); }
    qsizetype size() const { return qsizetype(m_entries.size()); }

    std::optional<QDateTime> nextFireDate(const QString &identifier) const;
    std::optional<QDateTime> earliestFireDate() const;

    // Takes the requests due at `now`, in the order of their fire instants. Each occurrence is delivered at most
    // once and only on its own calendar day: a firing missed on an earlier day (asleep over midnight) is dropped,
    // and a repeating request delivers its latest occurrence up to `now` when that is today. One-shot requests
    // of one collapse group that fell due together come down to the latest of them. One-shot requests leave the
    // schedule; repeating ones move on to their next occurrence after `now`.
    QList<Due> takeDue(const QDateTime &now);

    // Recomputes every calendar trigger from `now` after the wall clock was set; an occurrence already
    // delivered or dropped is not due again when the clock goes back. Call it after takeDue() so that nothing
    // due is skipped.
    void recomputeCalendarTriggers(const QDateTime &now);

private:
    struct Entry
    {
        NotificationRequest request;
        QDateTime fireDate;
        // Occurrences up to here have had their turn (delivered, dropped, or before the request was added).
        QDateTime passedUntil;
    };
    using Sequence = quint64;
    using FireKey = std::pair<qint64, Sequence>;

    // Whether the clock has passed `occurrence` already: it lies at or less than one period of the trigger
    // before passedUntil. A clock set back further brings the earlier occurrences again.
    static bool hasPassed(const Entry &entry, const CalendarTrigger &trigger, const QDateTime &occurrence);
    void insert(Sequence sequence, Entry entry);
    void erase(std::map<Sequence, Entry>::iterator it);
    // Moves an entry to a new fire date, or drops it when there is none.
    void reschedule(std::map<Sequence, Entry>::iterator it, const QDateTime &fireDate);

    std::map<Sequence, Entry> m_entries; // in the order added
    std::map<QString, Sequence> m_byIdentifier;
    std::set<FireKey> m_byFireDate;
    Sequence m_nextSequence = 0;
};

} // namespace ovlin
