#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>

#include "Model/Enums.h"

#include <memory>
#include <optional>

namespace ovlin {

class Reminder;
class StoreContext;

// Turns reminders into concrete occurrences (due times on a day), decides which attempt of an open
// occurrence is due, and keeps the in-memory bookkeeping of presented attempts, snoozes and attempt
// base times. The presentation loop, its banners, snoozes and the evening notifications build on this
// class. Main thread only; one shared instance for the run.
//
// Due times come back as date-times that read as local wall time (see DayTable): compare them, take
// their instants, or do day arithmetic through Days.
class ReminderPresentationService : public QObject
{
    Q_OBJECT

public:
    // One due time of one reminder on one day, with the attempt due now (1 to 3).
    struct Occurrence
    {
        std::shared_ptr<Reminder> reminder;
        QDateTime scheduledAt;
        qint64 attempt = 1;
        QString key;
    };

    // A snoozed occurrence is silent before `until`, then due as `nextAttempt` (2 or 3).
    struct SnoozeEntry
    {
        QDateTime until;
        qint64 nextAttempt = 2;

        friend bool operator==(const SnoozeEntry &, const SnoozeEntry &) = default;
    };

    static ReminderPresentationService &shared();
    ~ReminderPresentationService() override;

    // The reminder's due times on the date's calendar day, quiet hours left out: the fixed time, the
    // interval steps (window end included), or the fixed time followed by the steps. Not sorted or merged.
    QList<QDateTime> occurrenceTimes(const Reminder &reminder, const QDateTime &date) const;
    QList<QDateTime> fixedTimeOccurrences(const Reminder &reminder, const QDateTime &date) const;
    QList<QDateTime> intervalOccurrences(const Reminder &reminder, const QDateTime &date) const;

    // "<UPPER-CASE UUID>-<whole minutes since 1970>": due times in one clock minute share a key.
    static QString occurrenceKey(const Reminder &reminder, const QDateTime &scheduledAt);
    // "<occurrence key>-<attempt>".
    static QString attemptKey(const QString &occurrenceKey, qint64 attempt);

    // A completed, skipped or missed log lies in the due time's calendar minute.
    bool isResolved(const Reminder &reminder, const QDateTime &scheduledAt) const;
    // The recorded base time of the occurrence, or the due time itself.
    QDateTime attemptBaseDate(const QString &occurrenceKey, const QDateTime &scheduledAt) const;
    // The attempt due at `now`: 1, 2 or 3 by the minutes since the base time (0-14, 15-29, 30-34), a
    // snooze's next attempt once it has run out, or none (not yet due, resolved, snoozed, or expired).
    std::optional<qint64> attemptNumber(const Reminder &reminder, const QDateTime &scheduledAt,
                                        const QDateTime &now) const;
    std::optional<Occurrence> makeOccurrence(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                             const QDateTime &now) const;

    // The earliest unresolved due time of the date's day that is not later than the date (snoozes and
    // attempts do not matter).
    std::optional<QDateTime> dueOccurrenceTime(const Reminder &reminder, const QDateTime &date) const;
    // That time exists and lies strictly before the date.
    bool isOverdue(const Reminder &reminder, const QDateTime &date) const;

    // The loop's weekday test: the reminder's valid weekdays hold the date's weekday, or it has none
    // (then it is due every day, unlike ReminderBehaviorService::remindersScheduled).
    static bool isDueOnWeekday(const Reminder &reminder, const QDateTime &date);
    // What one pass of the loop presents from: for each active reminder due on today's weekday, in list
    // order, its due times of today made into occurrences at `now`, dropping those without an attempt.
    QList<Occurrence> dueOccurrences(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &now) const;

    // Answers an occurrence (completed or skipped from a banner or a list): logs the status for the due time,
    // or for the earliest open due time up to now, or for now, and forgets the occurrence's bookkeeping.
    void resolveOccurrence(const std::shared_ptr<Reminder> &reminder, LogStatus status, StoreContext *context,
                           std::optional<QDateTime> scheduledAt = std::nullopt);
    // Silences an occurrence (chosen as above) for `minutes`; it comes back as the next attempt (at most 3),
    // counted so that it is recorded as missed 35 minutes after its new base time. A snoozed log is written
    // only when a context is given (a notification's snooze writes its own).
    void snooze(const std::shared_ptr<Reminder> &reminder, qint64 minutes,
                std::optional<QDateTime> dueTime = std::nullopt, StoreContext *context = nullptr);

    // Forgets one occurrence: its presented attempts, its snooze and its base time.
    void clearOccurrenceBookkeeping(const QString &occurrenceKey);
    // Forgets every occurrence of the reminder (the day keys of the evening notifications stay).
    void clearBookkeeping(const Reminder &reminder);

    // The bookkeeping, in memory only. Keys: attempt keys, occurrence keys, occurrence keys, day keys.
    const QHash<QString, QDateTime> &presentedAttemptKeys() const { return m_presentedAttemptKeys; }
    const QHash<QString, SnoozeEntry> &snoozedOccurrences() const { return m_snoozedOccurrences; }
    const QHash<QString, QDateTime> &attemptBaseDates() const { return m_attemptBaseDates; }
    const QHash<QString, QDateTime> &eveningWarningKeys() const { return m_eveningWarningKeys; }
    const QHash<QString, QDateTime> &dailySummaryKeys() const { return m_dailySummaryKeys; }
    void markAttemptPresented(const QString &attemptKey, const QDateTime &presentedAt);
    // A snooze and its base time are written together.
    void setSnooze(const QString &occurrenceKey, const SnoozeEntry &entry, const QDateTime &attemptBase);
    void markEveningWarningPosted(const QString &dayKey, const QDateTime &postedAt);
    void markDailySummaryPosted(const QString &dayKey, const QDateTime &postedAt);

private:
    ReminderPresentationService();

    // The due time an answer applies to: the given one, else the earliest open one up to now, else now;
    // none for a reminder that is gone.
    std::optional<QDateTime> answerableDueTime(const std::shared_ptr<Reminder> &reminder,
                                               const std::optional<QDateTime> &given, const QDateTime &now) const;

    QHash<QString, QDateTime> m_presentedAttemptKeys;
    QHash<QString, SnoozeEntry> m_snoozedOccurrences;
    QHash<QString, QDateTime> m_attemptBaseDates;
    QHash<QString, QDateTime> m_eveningWarningKeys;
    QHash<QString, QDateTime> m_dailySummaryKeys;
};

} // namespace ovlin
