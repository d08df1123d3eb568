#include "Editor/ReminderFormViewModel.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "Engine/SchedulerService.h"
#include "Model/Reminder.h"
#include "Platform/NotificationCenter.h"
#include "Platform/StoreContext.h"

#include <QList>
#include <QUuid>

#include <optional>

namespace ovlin {

ReminderFormViewModel::ReminderFormViewModel(std::shared_ptr<Reminder> existingReminder, StoreContext *modelContext,
                                             QObject *parent)
    : QObject(parent), m_fixedTime(todayAt(9)), m_intervalStart(todayAt(8)), m_intervalEnd(todayAt(18)),
      m_selectedDays(allWeekdays.begin(), allWeekdays.end()), m_modelContext(modelContext),
      m_existingReminder(std::move(existingReminder))
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_existingReminder)
        return;
    m_isEditing = true;
    const Reminder &r = *m_existingReminder;
    m_title = r.title();
    m_category = r.categoryValue();
    m_detail = r.detail().value_or(QString());
    m_scheduleType = r.scheduleTypeValue();
    if (const auto time = r.fixedTime(); time && time->isValid())
        m_fixedTime = *time;
    m_intervalMinutes = r.intervalMinutes().value_or(60);
    if (const auto start = r.intervalStart(); start && start->isValid())
        m_intervalStart = *start;
    if (const auto end = r.intervalEnd(); end && end->isValid())
        m_intervalEnd = *end;
    const QList<Weekday> days = r.activeDays();
    m_selectedDays = WeekdaySet(days.begin(), days.end());
    m_isActive = r.isActive();
}

ReminderFormViewModel::~ReminderFormViewModel() = default;

QDateTime ReminderFormViewModel::todayAt(int hour)
{
    const QDateTime now = Clock::now();
    const QDateTime moment = Days::atTime(now.date(), hour, 0, 0);
    return moment.isValid() ? moment : now;
}

bool ReminderFormViewModel::isBlank(const QString &text)
{
    return text.trimmed().isEmpty();
}

// ---- Fields

#define OVLIN_FORM_SETTER(field, value, signal)                                                                        \
    OVLIN_ASSERT_MAIN_THREAD();                                                                                        \
    if (field == value)                                                                                                \
        return;                                                                                                        \
    field = value;                                                                                                     \
    Q_EMIT signal();                                                                                                   \
    Q_EMIT changed();

void ReminderFormViewModel::setTitle(const QString &title)
{
    OVLIN_FORM_SETTER(m_title, title, titleChanged)
}

void ReminderFormViewModel::setCategory(ReminderCategory category)
{
    OVLIN_FORM_SETTER(m_category, category, categoryChanged)
}

void ReminderFormViewModel::setDetail(const QString &detail)
{
    OVLIN_FORM_SETTER(m_detail, detail, detailChanged)
}

void ReminderFormViewModel::setScheduleType(ScheduleType type)
{
    OVLIN_FORM_SETTER(m_scheduleType, type, scheduleTypeChanged)
}

void ReminderFormViewModel::setFixedTime(const QDateTime &time)
{
    OVLIN_FORM_SETTER(m_fixedTime, time, fixedTimeChanged)
}

void ReminderFormViewModel::setIntervalMinutes(qint64 minutes)
{
    OVLIN_FORM_SETTER(m_intervalMinutes, minutes, intervalMinutesChanged)
}

void ReminderFormViewModel::setIntervalStart(const QDateTime &start)
{
    OVLIN_FORM_SETTER(m_intervalStart, start, intervalStartChanged)
}

void ReminderFormViewModel::setIntervalEnd(const QDateTime &end)
{
    OVLIN_FORM_SETTER(m_intervalEnd, end, intervalEndChanged)
}

void ReminderFormViewModel::setSelectedDays(const WeekdaySet &days)
{
    OVLIN_FORM_SETTER(m_selectedDays, days, selectedDaysChanged)
}

void ReminderFormViewModel::setIsActive(bool active)
{
    OVLIN_FORM_SETTER(m_isActive, active, isActiveChanged)
}

#undef OVLIN_FORM_SETTER

void ReminderFormViewModel::setModelContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_modelContext = context;
}

// ---- Rules

bool ReminderFormViewModel::isValid() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (isBlank(m_title))
        return false;
    if (m_selectedDays.empty())
        return false;
    if (m_scheduleType == ScheduleType::fixedTime)
        return true;
    return m_intervalMinutes >= 1 && m_intervalEnd > m_intervalStart;
}

QString ReminderFormViewModel::previewMessage() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return CopyEngine::shared().categoryText(m_category);
}

// ---- Saving

void ReminderFormViewModel::setScheduleReminder(ScheduleReminder schedule)
{
    m_scheduleReminder = std::move(schedule);
}

void ReminderFormViewModel::scheduleSaved(const std::shared_ptr<Reminder> &reminder) const
{
    if (m_scheduleReminder)
        m_scheduleReminder(reminder);
    else
        SchedulerService::shared().schedule(*reminder);
}

ReminderFormViewModel::SaveOutcome ReminderFormViewModel::save()
{
    OVLIN_ASSERT_MAIN_THREAD();
    StoreContext *context = m_modelContext.data();
    if (!context)
        return SaveOutcome::skipped;
    const QString title = m_title.trimmed();
    if (title.isEmpty())
        return SaveOutcome::skipped;
    // A reminder deleted while the sheet was open stays deleted: writing to it and scheduling it again
    // would leave notifications for a habit that no longer exists.
    if (m_existingReminder && m_existingReminder->isDeleted()) {
        qCWarning(lcUi) << "The edited reminder was deleted meanwhile; nothing saved";
        return SaveOutcome::skipped;
    }

    const std::optional<QString> detail = m_detail.isEmpty() ? std::nullopt : std::optional<QString>(m_detail);
    const QList<Weekday> days(m_selectedDays.begin(), m_selectedDays.end());
    const bool usesFixed = m_scheduleType != ScheduleType::interval;
    const bool usesInterval = m_scheduleType != ScheduleType::fixedTime;
    const auto fixedTime = usesFixed ? std::optional<QDateTime>(m_fixedTime) : std::nullopt;
    const auto intervalMinutes = usesInterval ? std::optional<qint64>(m_intervalMinutes) : std::nullopt;
    const auto intervalStart = usesInterval ? std::optional<QDateTime>(m_intervalStart) : std::nullopt;
    const auto intervalEnd = usesInterval ? std::optional<QDateTime>(m_intervalEnd) : std::nullopt;

    SaveOutcome outcome;
    // The context the change is pending in: an edited reminder's own one (the same as the sheet's in
    // the application), a new reminder's the sheet's.
    StoreContext *saveContext = context;
    if (m_existingReminder) {
        Reminder &r = *m_existingReminder;
        r.setTitle(title);
        r.setCategoryValue(m_category);
        r.setDetail(detail);
        r.setScheduleType(rawValue(m_scheduleType));
        r.setFixedTime(fixedTime);
        r.setIntervalMinutes(intervalMinutes);
        r.setIntervalStart(intervalStart);
        r.setIntervalEnd(intervalEnd);
        r.setActiveDays(days);
        r.setIsActive(m_isActive);
        if (r.context())
            saveContext = r.context();
        scheduleSaved(m_existingReminder);
        outcome = SaveOutcome::updated;
    } else {
        auto reminder = Reminder::create(QUuid::createUuid(), title, m_category, detail, m_scheduleType, fixedTime,
                                         intervalMinutes, intervalStart, intervalEnd, days, m_isActive, Clock::now());
        context->insert(reminder);
        scheduleSaved(reminder);
        outcome = SaveOutcome::inserted;
    }

    QString error;
    if (!saveContext->save(&error))
        qCWarning(lcUi) << "Saving the reminder failed; the change stays pending:" << error;
    return outcome;
}

void ReminderFormViewModel::cancel()
{
    OVLIN_ASSERT_MAIN_THREAD();
}

} // namespace ovlin
