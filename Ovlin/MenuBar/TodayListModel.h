#pragma once

#include "MenuBar/MenuBarListModel.h"

#include <QDateTime>
#include <QPointer>

namespace ovlin {

class StoreContext;

// Today's list for the popover, worked out with the reminder engine's services. It stands in for the
// today screen's shared list view model until that is in the tree; the popover only needs the calls of
// MenuBarListModel. Never shows a completion phrase or a celebration. Main thread only.
class TodayListModel final : public MenuBarListModel
{
public:
    explicit TodayListModel(StoreContext *context);
    ~TodayListModel() override;

    StoreContext *modelContext() const { return m_context; }
    QDateTime currentDate() const { return m_currentDate; }

    void refreshDate() override;
    void setReminders(const QList<std::shared_ptr<Reminder>> &reminders) override;
    void setAllLogs(const QList<std::shared_ptr<ReminderLog>> &logs) override;
    void setMilestones(const QList<std::shared_ptr<Milestone>> &milestones) override;

    QList<std::shared_ptr<Reminder>> todaysReminders() const override;
    QList<std::shared_ptr<Reminder>> completedToday() const override;
    QList<std::shared_ptr<Reminder>> overdue() const override;
    bool isCompleted(const Reminder &reminder) const override;
    ReminderBehaviorService::Resolution todayResolution(const Reminder &reminder) const override;

    void complete(const std::shared_ptr<Reminder> &reminder, bool showCopy) override;
    void skip(const std::shared_ptr<Reminder> &reminder) override;
    void undo(const std::shared_ptr<Reminder> &reminder) override;

private:
    void resolveEarliestOpen(const std::shared_ptr<Reminder> &reminder, LogStatus status);
    void evaluateActiveRewards();

    QPointer<StoreContext> m_context;
    QDateTime m_currentDate;
    QList<std::shared_ptr<Reminder>> m_reminders;
    QList<std::shared_ptr<ReminderLog>> m_allLogs;
    QList<std::shared_ptr<Milestone>> m_milestones;
};

} // namespace ovlin
