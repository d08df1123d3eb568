#pragma once

#include "Copy/CopyContext.h"
#include "Copy/CopyTrigger.h"
#include "Model/Enums.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

namespace ovlin {

class Milestone;
class NotificationCenter;
class Reminder;
class ReminderLog;
class StoreContext;

// A reward's progress as the screens show it.
struct RewardProgress
{
    qint64 daysMet = 0;
    qint64 daysRemaining = 0; // never below 0
    MilestoneStatus status = MilestoneStatus::active;
    double fraction = 0; // daysMet / requireDays (taken as at least 1), at most 1

    friend bool operator==(const RewardProgress &, const RewardProgress &) = default;
};

// Evaluates rewards day by day: today's completion rate into the reward's day log, the run of met days,
// earned or lost, and (when asked) a notification about it. Works on the records its caller hands in;
// reads AppSettings::shared() at each call. Reached from the main thread only.
class MilestoneProgressService
{
public:
    static MilestoneProgressService &shared();

    // The centre reward notifications go to: NotificationCenter::current() when the service is created.
    // Tests give their own (not owned; a centre that is gone drops the notifications).
    void setNotificationCenter(NotificationCenter *center);
    NotificationCenter *notificationCenter() const { return m_center; }

    // For each reward still active, in order: today's log (created or updated), the met days, then
    // achieved, failed, or (with `notify`) a progress announcement. Saves the context once at the end.
    //
    // The logs are those of the reminders handed in: every stored log belongs to its reminder, so they are
    // read through each reminder's log index (a lookup per reminder and day, whatever the history's
    // length). The overloads that take a list of logs are kept for their callers and read the same.
    void evaluate(const QList<std::shared_ptr<Milestone>> &milestones,
                  const QList<std::shared_ptr<Reminder>> &reminders, StoreContext &context, bool notify);
    void evaluate(const QList<std::shared_ptr<Milestone>> &milestones,
                  const QList<std::shared_ptr<Reminder>> &reminders, const QList<std::shared_ptr<ReminderLog>> &logs,
                  StoreContext &context, bool notify);

    // Completed logs over all logs scheduled on `day` of the reward's counted reminders (every active
    // reminder, or the active ones of its linked category; a log counts for a reminder of the list that
    // carries its owner's identifier); 0 when there are none.
    double completionRate(const Milestone &milestone, const QDateTime &day,
                          const QList<std::shared_ptr<Reminder>> &reminders) const;
    double completionRate(const Milestone &milestone, const QDateTime &day,
                          const QList<std::shared_ptr<Reminder>> &reminders,
                          const QList<std::shared_ptr<ReminderLog>> &logs) const;
    // Met days in a row, counted back from the moment's day (with `metToday`) or the day before.
    qint64 consecutiveDaysMet(const Milestone &milestone, bool metToday, const QDateTime &moment) const;
    // Yesterday's log missed the threshold (and, with the grace period on, the day before's as well).
    bool hasFailed(const Milestone &milestone, const QDateTime &today) const;

    // What an announcement's phrase is filled from: the reward text, the days remaining (not below 0),
    // the met and required days and the share done in percent (requireDays taken as at least 1).
    static CopyContext announcementContext(const Milestone &milestone, qint64 metDays);
    // Adds "milestone-<UUID>" to the centre: the title, a phrase of the trigger, the default sound while
    // sound is on, one second from now.
    void postMilestoneNotification(CopyTrigger trigger, const CopyContext &context, const QString &title);

    // Progress with today's met state taken from the live rate; reads only.
    RewardProgress progressFraction(const Milestone &milestone, const QList<std::shared_ptr<Reminder>> &reminders,
                                    const QDateTime &moment) const;
    RewardProgress progressFraction(const Milestone &milestone, const QList<std::shared_ptr<Reminder>> &reminders,
                                    const QList<std::shared_ptr<ReminderLog>> &logs, const QDateTime &moment) const;
    // Met days with today's met state taken from today's stored day log; reads only.
    qint64 daysMet(const Milestone &milestone, const QDateTime &moment) const;

private:
    MilestoneProgressService();

    QPointer<NotificationCenter> m_center;
};

} // namespace ovlin
