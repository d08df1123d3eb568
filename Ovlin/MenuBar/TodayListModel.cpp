#include "MenuBar/TodayListModel.h"

#include "Engine/MilestoneProgressService.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Clock.h"
#include "Platform/Days.h"
#include "Platform/MainThread.h"
#include "Platform/NotificationCenter.h"
#include "Platform/StoreContext.h"

#include <algorithm>
#include <optional>

namespace ovlin {

namespace {

// Minutes into the day of the reminder's first time today: the fixed time, else the window's start.
std::optional<int> nextDueMinute(const Reminder &reminder)
{
    if (const auto fixed = reminder.fixedTime(); fixed && fixed->isValid())
        return Days::minuteOfDay(*fixed);
    if (const auto start = reminder.intervalStart(); start && start->isValid())
        return Days::minuteOfDay(*start);
    return std::nullopt;
}

} // namespace

TodayListModel::TodayListModel(StoreContext *context) : m_context(context), m_currentDate(Clock::now())
{
    OVLIN_ASSERT_MAIN_THREAD();
}

TodayListModel::~TodayListModel() = default;

void TodayListModel::refreshDate()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_currentDate = Clock::now();
}

void TodayListModel::setReminders(const QList<std::shared_ptr<Reminder>> &reminders)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_reminders = reminders;
}

void TodayListModel::setAllLogs(const QList<std::shared_ptr<ReminderLog>> &logs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_allLogs = logs;
}

void TodayListModel::setMilestones(const QList<std::shared_ptr<Milestone>> &milestones)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_milestones = milestones;
}

QList<std::shared_ptr<Reminder>> TodayListModel::todaysReminders() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    QList<std::shared_ptr<Reminder>> today;
    for (const auto &reminder : ReminderBehaviorService::shared().remindersScheduled(Clock::now(), m_reminders)) {
        if (!reminder->isDeleted())
            today.append(reminder);
    }
    struct Keyed
    {
        std::optional<int> minute;
        QString title;
        std::shared_ptr<Reminder> reminder;
    };
    QList<Keyed> keyed;
    keyed.reserve(today.size());
    for (const auto &reminder : today)
        keyed.append({nextDueMinute(*reminder), reminder->title(), reminder});
    std::stable_sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        if (a.minute.has_value() != b.minute.has_value())
            return a.minute.has_value();
        if (a.minute && *a.minute != *b.minute)
            return *a.minute < *b.minute;
        return a.title.compare(b.title, Qt::CaseInsensitive) < 0;
    });
    QList<std::shared_ptr<Reminder>> ordered;
    ordered.reserve(keyed.size());
    for (const auto &entry : keyed)
        ordered.append(entry.reminder);
    return ordered;
}

QList<std::shared_ptr<Reminder>> TodayListModel::completedToday() const
{
    QList<std::shared_ptr<Reminder>> completed;
    for (const auto &reminder : todaysReminders()) {
        if (isCompleted(*reminder))
            completed.append(reminder);
    }
    return completed;
}

QList<std::shared_ptr<Reminder>> TodayListModel::overdue() const
{
    const QDateTime now = Clock::now();
    QList<std::shared_ptr<Reminder>> late;
    for (const auto &reminder : todaysReminders()) {
        if (todayResolution(*reminder) == ReminderBehaviorService::Resolution::pending &&
            ReminderPresentationService::shared().isOverdue(*reminder, now))
            late.append(reminder);
    }
    return late;
}

bool TodayListModel::isCompleted(const Reminder &reminder) const
{
    return todayResolution(reminder) == ReminderBehaviorService::Resolution::completed;
}

ReminderBehaviorService::Resolution TodayListModel::todayResolution(const Reminder &reminder) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return ReminderBehaviorService::shared().resolution(reminder, Clock::now());
}

void TodayListModel::complete(const std::shared_ptr<Reminder> &reminder, bool showCopy)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // No phrase here: the popover never asks for one.
    Q_UNUSED(showCopy);
    resolveEarliestOpen(reminder, LogStatus::completed);
    evaluateActiveRewards();
}

void TodayListModel::skip(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    resolveEarliestOpen(reminder, LogStatus::skipped);
}

void TodayListModel::undo(const std::shared_ptr<Reminder> &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder || !m_context)
        return;
    ReminderBehaviorService::shared().clearResolution(reminder, m_currentDate, *m_context);
}

void TodayListModel::resolveEarliestOpen(const std::shared_ptr<Reminder> &reminder, LogStatus status)
{
    if (!reminder || !m_context || reminder->isDeleted())
        return;
    ReminderPresentationService &presentation = ReminderPresentationService::shared();
    const QDateTime now = Clock::now();
    const QDateTime scheduledAt = presentation.dueOccurrenceTime(*reminder, now).value_or(now);
    ReminderBehaviorService::shared().logResolution(status, reminder, scheduledAt, *m_context);
    // The banner loop must not present an occurrence that is answered.
    presentation.clearOccurrenceBookkeeping(ReminderPresentationService::occurrenceKey(*reminder, scheduledAt));
}

void TodayListModel::evaluateActiveRewards()
{
    if (!m_context)
        return;
    QList<std::shared_ptr<Milestone>> active;
    for (const auto &milestone : m_milestones) {
        if (milestone && !milestone->isDeleted() && milestone->status() == MilestoneStatus::active)
            active.append(milestone);
    }
    if (active.isEmpty())
        return;
    const auto reminders = m_context->fetch<Reminder>([](const Reminder &r) { return r.isActive(); });
    const auto logs = m_context->fetch<ReminderLog>();
    MilestoneProgressService::shared().evaluate(active, reminders, logs, *m_context, false);
}

} // namespace ovlin
