#include "Engine/SchedulerService.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Platform/NotificationCenter.h"
#include "Platform/StoreContext.h"

#include <QTime>

#include <algorithm>

namespace ovlin {

namespace {

const QString requestPrefix = QStringLiteral("ovlin-");
const QString followUpPrefix = QStringLiteral("followup-");

// A step at least this long leaves only each day's first time in the window; capping it keeps the seconds
// in range for any stored value.
constexpr qint64 maxStepMinutes = 2 * 24 * 60;

std::optional<CopyTrigger> streakTrigger(qint64 streak)
{
    switch (streak) {
    case 3: return CopyTrigger::streakDay3;
    case 7: return CopyTrigger::streakDay7;
    case 14: return CopyTrigger::streakDay14;
    case 21: return CopyTrigger::streakDay21;
    case 30: return CopyTrigger::streakDay30;
    default: return std::nullopt;
    }
}

// The hour and minute of a stored time of day in the local calendar, or `fallback` without one.
std::optional<QTime> localTimeOfDay(const std::optional<QDateTime> &stored, const QTime &fallback)
{
    if (!stored)
        return fallback;
    if (!stored->isValid())
        return std::nullopt;
    const QTime t = stored->toLocalTime().time();
    return QTime(t.hour(), t.minute());
}

std::optional<NotificationSound> currentSound()
{
    if (AppSettings::shared().soundEnabled())
        return NotificationSound::defaultSound();
    return std::nullopt;
}

} // namespace

SchedulerService &SchedulerService::shared()
{
    static SchedulerService service;
    return service;
}

SchedulerService::SchedulerService() : m_center(NotificationCenter::current())
{
    registerCategories();
}

void SchedulerService::setNotificationCenter(NotificationCenter *center)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_center = center;
    registerCategories();
}

void SchedulerService::registerCategories()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_center)
        return;
    const QString done = QStringLiteral("Done!");
    // A click on the notification records a completion, so it is labelled like the action that does.
    const NotificationCategory category{
        categoryIdentifier,
        {NotificationAction{completeActionIdentifier, done, true},
         NotificationAction{snoozeActionIdentifier, QStringLiteral("Snooze 10 min"), false}},
        done};
    m_center->setCategories({category});
}

void SchedulerService::schedule(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    removePendingRequests(notificationPrefix(reminder));
    if (!reminder.isActive())
        return;
    switch (reminder.scheduleTypeValue()) {
    case ScheduleType::fixedTime: scheduleFixedTime(reminder); break;
    case ScheduleType::interval: scheduleInterval(reminder); break;
    case ScheduleType::combined:
        scheduleFixedTime(reminder);
        scheduleInterval(reminder);
        break;
    }
}

void SchedulerService::cancel(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    ReminderPresentationService::shared().clearBookkeeping(reminder);
    removePendingRequests(notificationPrefix(reminder));
}

void SchedulerService::rescheduleAll(const QList<std::shared_ptr<Reminder>> &reminders)
{
    OVLIN_ASSERT_MAIN_THREAD();
    removePendingRequests();
    scheduleEach(reminders, InactiveReminders::forgotten);
}

void SchedulerService::scheduleEach(const QList<std::shared_ptr<Reminder>> &reminders, InactiveReminders inactive)
{
    OVLIN_ASSERT_MAIN_THREAD();
    for (const std::shared_ptr<Reminder> &reminder : reminders) {
        if (!reminder)
            continue;
        if (inactive == InactiveReminders::forgotten && !reminder->isActive())
            ReminderPresentationService::shared().clearBookkeeping(*reminder);
        else
            schedule(*reminder);
    }
}

void SchedulerService::scheduleFixedTime(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QList<Weekday> days = reminder.activeDays();
    if (!reminder.fixedTime() || days.isEmpty())
        return;
    const std::optional<QTime> time = localTimeOfDay(reminder.fixedTime(), {});
    if (!time)
        return;
    const QDateTime now = Clock::now();
    const QString prefix = notificationPrefix(reminder);
    for (const Weekday day : days) {
        const CalendarTrigger trigger{time->hour(), time->minute(), calendarWeekday(day), true};
        // Quiet hours are a window of clock time, so the next firing stands for all of them.
        const QDateTime next = trigger.nextFireDate(now);
        if (next.isValid() && AppSettings::shared().isInQuietHours(next))
            continue;
        addRequest(prefix + QStringLiteral("-fixed-") + QString::number(rawValue(day)), reminder, trigger);
    }
}

QList<QDateTime> SchedulerService::intervalTimes(const Reminder &reminder, const QDateTime &now)
{
    const std::optional<qint64> minutes = reminder.intervalMinutes();
    if (!minutes || *minutes <= 0)
        return {};
    const qint64 stepSeconds = std::min(*minutes, maxStepMinutes) * 60;
    const std::optional<QTime> start = localTimeOfDay(reminder.intervalStart(), QTime(8, 0));
    const std::optional<QTime> end = localTimeOfDay(reminder.intervalEnd(), QTime(20, 0));
    if (!start || !end)
        return {};

    const QList<Weekday> days = reminder.activeDays();
    const AppSettings &settings = AppSettings::shared();
    const QDate today = now.toLocalTime().date();
    QList<QDateTime> times;
    for (int offset = 0; offset < intervalScanDays && times.size() < maxIntervalRequests; ++offset) {
        const QDate day = today.addDays(offset);
        const QDateTime first = Days::atTime(day, start->hour(), start->minute());
        const QDateTime last = Days::atTime(day, end->hour(), end->minute());
        if (!first.isValid() || !last.isValid())
            continue;
        // No weekdays at all means every day here.
        if (!days.isEmpty() && !days.contains(weekdayFromCalendar(Days::calendarWeekday(day))))
            continue;
        for (QDateTime t = first; t <= last; t = t.addSecs(stepSeconds)) {
            if (t > now && !settings.isInQuietHours(t))
                times.append(t);
        }
    }
    if (times.size() > maxIntervalRequests)
        times.resize(maxIntervalRequests);
    return times;
}

void SchedulerService::scheduleInterval(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QList<QDateTime> times = intervalTimes(reminder, Clock::now());
    const QString prefix = notificationPrefix(reminder);
    // Missed together (asleep), a reminder's interval firings come down to the latest one.
    const QString group = prefix + QStringLiteral("-interval");
    for (qsizetype position = 0; position < times.size(); ++position) {
        const qint64 delayMs = Clock::now().msecsTo(times.at(position));
        // A time that has passed meanwhile is left out; its position is not reused.
        if (delayMs <= 0)
            continue;
        addRequest(group + QStringLiteral("-") + QString::number(position), reminder,
                   TimeIntervalTrigger{double(delayMs) / 1000.0}, group);
    }
}

void SchedulerService::addRequest(const QString &identifier, const Reminder &reminder,
                                  const NotificationTrigger &trigger, const QString &collapseGroup)
{
    OVLIN_ASSERT_MAIN_THREAD();
    NotificationContent content;
    content.title = reminder.title();
    content.body = CopyEngine::shared().categoryText(reminder.categoryValue());
    content.sound = currentSound();
    content.categoryIdentifier = categoryIdentifier;
    content.userInfo = {{QStringLiteral("reminderID"), uuidText(reminder.id())},
                        {QStringLiteral("category"), reminder.category()}};
    content.collapseGroup = collapseGroup;
    addToCenter(NotificationRequest{identifier, content, trigger});
}

QString SchedulerService::notificationPrefix(const Reminder &reminder)
{
    return requestPrefix + uuidText(reminder.id());
}

void SchedulerService::removePendingRequests(const std::optional<QString> &prefix)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_center)
        return;
    // The centre's index finds a reminder's requests without listing them all, which keeps rescheduling every
    // reminder linear in their number.
    const QStringList identifiers = m_center->pendingRequestIdentifiers(prefix.value_or(requestPrefix));
    if (!identifiers.isEmpty())
        m_center->removePendingRequests(identifiers);
}

QStringList SchedulerService::identifiersWithPrefix(const QStringList &identifiers,
                                                    const std::optional<QString> &prefix)
{
    const QString wanted = prefix.value_or(requestPrefix);
    QStringList result;
    for (const QString &identifier : identifiers) {
        if (identifier.startsWith(wanted, Qt::CaseSensitive))
            result.append(identifier);
    }
    return result;
}

QStringList SchedulerService::notificationRequestIdentifiers(const QList<NotificationRequest> &requests)
{
    QStringList result;
    result.reserve(requests.size());
    for (const NotificationRequest &request : requests)
        result.append(request.identifier);
    return result;
}

void SchedulerService::handleNotificationResponse(const QUuid &reminderId, const QString &actionIdentifier,
                                                  const QDateTime &deliveryDate, StoreContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QList<std::shared_ptr<Reminder>> found =
        context.fetch<Reminder>([&reminderId](const Reminder &r) { return r.id() == reminderId; });
    if (found.isEmpty()) {
        qCDebug(lcEngine) << "Dropped an answer for a reminder that is gone:" << uuidText(reminderId);
        return;
    }
    const std::shared_ptr<Reminder> reminder = found.first();
    // A log needs a real time: an answer without a delivery date counts as delivered now.
    const QDateTime delivered = deliveryDate.isValid() ? deliveryDate : Clock::now();

    if (actionIdentifier == completeActionIdentifier ||
        actionIdentifier == NotificationResponse::defaultActionIdentifier) {
        completeFromNotification(reminder, delivered, context);
    } else if (actionIdentifier == snoozeActionIdentifier) {
        // A snoozed log at the delivery time; the reminder's open occurrence comes back in the app later.
        ReminderPresentationService::shared().answer({.source = OccurrenceAnswer::Source::notification,
                                                      .status = LogStatus::snoozed,
                                                      .reminder = reminder,
                                                      .answeredAt = Clock::now(),
                                                      .at = delivered,
                                                      .snoozeMinutes = snoozeDurationMinutes},
                                                     &context);
    } else {
        qCDebug(lcEngine) << "Ignored the notification action" << actionIdentifier.left(80);
    }
}

void SchedulerService::completeFromNotification(const std::shared_ptr<Reminder> &reminder,
                                                const QDateTime &deliveryDate, StoreContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The delivery date is the firing's own instant, so it names the occurrence.
    const OccurrenceAnswer answer =
        ReminderPresentationService::shared().answer({.source = OccurrenceAnswer::Source::notification,
                                                      .status = LogStatus::completed,
                                                      .reminder = reminder,
                                                      .answeredAt = Clock::now(),
                                                      .at = deliveryDate},
                                                     &context);
    if (!answer.recorded())
        return;

    // The new log is in the context already, so today's completion counts.
    QList<std::shared_ptr<Reminder>> reminders = context.fetch<Reminder>();
    if (reminders.isEmpty())
        reminders = {reminder};
    const ReminderCategory category = reminder->categoryValue();
    const qint64 streak = ReminderBehaviorService::shared().currentStreak(reminders, category, answer.answeredAt);
    const CopyContext copy{.habitName = reminder->title(), .streakCount = streak};
    const QString phrase = CopyEngine::shared().text(completionTrigger(category), copy);
    postFollowUp(QStringLiteral("Nice."), phrase, 1.0);
    postStreakMessage(streak, copy);
}

void SchedulerService::postStreakMessage(qint64 streak, const CopyContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<CopyTrigger> trigger = streakTrigger(streak);
    if (!trigger)
        return;
    const QString phrase = CopyEngine::shared().text(*trigger, context);
    postFollowUp(QString::number(streak) + QStringLiteral(" days straight."), phrase, 2.0);
}

void SchedulerService::postFollowUp(const QString &title, const QString &body, double delaySeconds)
{
    OVLIN_ASSERT_MAIN_THREAD();
    NotificationContent content;
    content.title = title;
    content.body = body;
    content.sound = currentSound();
    addToCenter(NotificationRequest{followUpPrefix + uuidText(QUuid::createUuid()), content,
                                    TimeIntervalTrigger{delaySeconds}});
}

bool SchedulerService::addToCenter(const NotificationRequest &request)
{
    if (!m_center) {
        qCDebug(lcEngine) << "No notification centre; dropped" << request.identifier;
        return false;
    }
    // Whether the centre takes it is not looked at.
    return m_center->add(request);
}

} // namespace ovlin
