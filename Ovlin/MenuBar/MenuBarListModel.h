#pragma once

#include "Engine/ReminderBehaviorService.h"

#include <QList>

#include <functional>
#include <memory>

namespace ovlin {

class Milestone;
class Reminder;
class ReminderLog;
class StoreContext;

// What the popover asks of today's list view model: the lists it is fed, today's reminders and their
// states, and the three row actions. Every answer is worked out afresh from the records and the clock.
class MenuBarListModel
{
public:
    virtual ~MenuBarListModel();

    // The model's current date becomes now.
    virtual void refreshDate() = 0;
    virtual void setReminders(const QList<std::shared_ptr<Reminder>> &reminders) = 0;
    virtual void setAllLogs(const QList<std::shared_ptr<ReminderLog>> &logs) = 0;
    virtual void setMilestones(const QList<std::shared_ptr<Milestone>> &milestones) = 0;

    // Active reminders due on today's weekday, by their next due time today (none last), then title.
    virtual QList<std::shared_ptr<Reminder>> todaysReminders() const = 0;
    virtual QList<std::shared_ptr<Reminder>> completedToday() const = 0;
    // Today's pending reminders with an open occurrence earlier than now.
    virtual QList<std::shared_ptr<Reminder>> overdue() const = 0;
    virtual bool isCompleted(const Reminder &reminder) const = 0;
    virtual ReminderBehaviorService::Resolution todayResolution(const Reminder &reminder) const = 0;

    // Resolves the earliest due open occurrence of today (or now) as completed; with an active reward,
    // re-evaluates the rewards without notifications.
    virtual void complete(const std::shared_ptr<Reminder> &reminder, bool showCopy) = 0;
    // The same, as skipped.
    virtual void skip(const std::shared_ptr<Reminder> &reminder) = 0;
    // Takes back today's answer for the reminder on the model's current date.
    virtual void undo(const std::shared_ptr<Reminder> &reminder) = 0;
};

using MenuBarListModelFactory = std::function<std::unique_ptr<MenuBarListModel>(StoreContext *context)>;

} // namespace ovlin
