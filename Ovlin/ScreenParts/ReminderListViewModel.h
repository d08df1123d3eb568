#pragma once

#include "Banners/CelebrationManager.h"
#include "Copy/CopyTrigger.h"
#include "Model/Enums.h"
#include "Platform/StoreContext.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace ovlin {

class CelebrationTimerSource;
class CopyEngine;
class Milestone;
class Reminder;
class ReminderLog;

// The view model of the today screen, the habits screen and the menu-bar popover: today's reminders in
// the order they fall due, their completed / skipped / pending / overdue / upcoming subsets, progress,
// streak and completion rates, and the operations that answer, pause and delete reminders.
//
// It owns no data: the screens push the results of their store queries in (setReminders, setAllLogs,
// setMilestones) and every list is derived anew on each read. Two clocks are in play: currentDate (moved
// only by refreshDate) decides today's weekday and the day due times are placed on; the present time
// (Clock::now(), read at each step) decides what is scheduled and how each reminder is resolved.
//
// Main thread only. Every published change emits its own signal and then changed().
class ReminderListViewModel : public QObject
{
    Q_OBJECT
public:
    using ReminderPtr = std::shared_ptr<Reminder>;
    using ReminderList = QList<ReminderPtr>;

    // How a pause, resume or deletion reaches the reminder's notifications: by default the shared
    // SchedulerService; tests install recording hooks.
    struct SchedulerHooks
    {
        std::function<void(const ReminderPtr &)> schedule;
        std::function<void(const ReminderPtr &)> cancel;
    };
    static void setSchedulerHooks(SchedulerHooks hooks);
    static SchedulerHooks defaultSchedulerHooks();

    // How long a completion phrase stays under its row.
    static constexpr qint64 completionCopyMs = 2200;

    explicit ReminderListViewModel(StoreContext *modelContext, QObject *parent = nullptr);
    ~ReminderListViewModel() override;

    StoreContext *modelContext() const { return m_modelContext; }
    void setModelContext(StoreContext *context);
    // Set by the today screen; without one, complete() queues no celebration.
    CelebrationManager *celebrationManager() const { return m_celebrationManager; }
    void setCelebrationManager(CelebrationManager *manager);

    // Null restores the Clock-driven timers / CopyEngine::shared() (the engine must outlive the model).
    void setTimerSource(std::shared_ptr<CelebrationTimerSource> timers);
    void setCopyEngine(CopyEngine *engine);

    QDateTime currentDate() const { return m_currentDate; }
    void refreshDate();

    const ReminderList &reminders() const { return m_reminders; }
    void setReminders(const ReminderList &reminders);
    const QList<std::shared_ptr<ReminderLog>> &allLogs() const { return m_allLogs; }
    void setAllLogs(const QList<std::shared_ptr<ReminderLog>> &logs);
    const QList<std::shared_ptr<Milestone>> &milestones() const { return m_milestones; }
    void setMilestones(const QList<std::shared_ptr<Milestone>> &milestones);

    std::optional<QUuid> recentCompletionReminderID() const { return m_recentCompletionReminderID; }
    std::optional<QString> recentCompletionCopy() const { return m_recentCompletionCopy; }

    // Today's lists, derived on every read.
    std::optional<Weekday> todayWeekday() const;
    ReminderList todaysReminders() const;
    ReminderList completedToday() const;
    ReminderList skippedToday() const;
    ReminderList pendingToday() const;
    ReminderList overdue() const;
    ReminderList upcomingToday() const;
    // Completed over today's reminders; 0 when nothing is scheduled.
    double todayProgress() const;
    // Resolved as completed for the present day (scheduled today or not).
    bool isCompleted(const Reminder &reminder) const;

    // The fixed time it fires at (else its interval start) placed on currentDate's day.
    std::optional<QDateTime> nextDueTime(const Reminder &reminder) const;
    // A reminder with the same `id` is in the list.
    static bool containsReminder(const ReminderList &list, const Reminder &reminder);

    // Answers the earliest open due occurrence (or the present time) as completed, then lets rewards
    // and celebrations catch up. `showCopy` puts a completion phrase under the row for 2.2 s.
    void complete(const ReminderPtr &reminder, bool showCopy);
    void skip(const ReminderPtr &reminder);
    // Takes back the latest skip of the present day.
    void undoSkip(const ReminderPtr &reminder);
    void setActive(bool active, const ReminderPtr &reminder);
    void delete_(const ReminderPtr &reminder);

    // The phrase showing under this reminder, if it is the one checked off last.
    std::optional<QString> completionCopy(const Reminder &reminder) const;
    void setRecentCompletion(const ReminderPtr &reminder);
    // Saves the model context; a failure is dropped (and logged).
    void save();

    // Fully completed days in a row up to the present day (none = every category).
    qint64 streak(std::optional<ReminderCategory> category = std::nullopt) const;
    // Mean of the daily rates of the last `days` days up to currentDate's day; days with nothing
    // scheduled are left out; 0 when no day counts. The rates read the reminders' own logs through their
    // log index (every stored log belongs to its reminder, so the pushed allLogs hold the same ones): a
    // lookup per reminder and day, whatever the length of the history.
    double completionRate(int days) const;
    // Share of the reminders scheduled on the day starting at `dayStart` with a completed log that day;
    // -1 when nothing is scheduled on that weekday.
    double dayRate(const QDateTime &dayStart) const;
    bool hasCompletedLog(const Reminder &reminder, const QDateTime &start, const QDateTime &end) const;

Q_SIGNALS:
    void currentDateChanged();
    void remindersChanged();
    void allLogsChanged();
    void milestonesChanged();
    void recentCompletionChanged();
    // Any published change, and the explicit notifications of the actions.
    void changed();

private:
    ReminderList liveReminders() const;
    ReminderList activeReminders() const;
    ReminderList withResolution(int resolution) const;
    // Where an action records: the reminder's own store when it has one, else the model context.
    StoreContext *contextFor(const Reminder &reminder) const;
    // Answers the reminder from the list; returns the store it was recorded in.
    StoreContext *answer(const ReminderPtr &reminder, LogStatus status);
    CopyEngine &copyEngine() const;
    CelebrationTimerSource &timers() const;

    // The last ordering of today's list and what it was made from: every read of the screen asks for the
    // list several times, and comparing titles through the collator is most of its cost.
    struct SortedToday
    {
        struct Entry
        {
            ReminderPtr reminder;
            std::optional<qint64> key;
            QString title;
            bool operator==(const Entry &) const = default;
        };
        QList<Entry> input;
        QLocale locale;
        ReminderList result;
    };
    mutable std::optional<SortedToday> m_sortedToday;

    QPointer<StoreContext> m_modelContext;
    QPointer<CelebrationManager> m_celebrationManager;
    QDateTime m_currentDate;
    ReminderList m_reminders;
    QList<std::shared_ptr<ReminderLog>> m_allLogs;
    QList<std::shared_ptr<Milestone>> m_milestones;
    std::optional<QUuid> m_recentCompletionReminderID;
    std::optional<QString> m_recentCompletionCopy;
    std::shared_ptr<CelebrationTimerSource> m_timers;
    CopyEngine *m_copyEngine = nullptr;
};

} // namespace ovlin
