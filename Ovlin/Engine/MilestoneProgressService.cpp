#include "Engine/MilestoneProgressService.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "Engine/DayTable.h"
#include "Engine/ReminderLogIndex.h"
#include "Model/AppSettings.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/NotificationCenter.h"
#include "Platform/StoreContext.h"

#include <QSet>
#include <QUuid>

#include <algorithm>
#include <limits>
#include <vector>

namespace ovlin {

namespace {

// requireDays is stored as any integer; keep the differences in range.
qint64 saturatingSubtract(qint64 a, qint64 b)
{
    qint64 result = 0;
    if (__builtin_sub_overflow(a, b, &result))
        return b > 0 ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
    return result;
}

std::optional<QDate> localDate(const QDateTime &moment)
{
    const auto local = DayTable::shared().local(moment);
    return local ? std::optional<QDate>(local->date) : std::nullopt;
}

// The first day log, in stored order, that lies on `day`.
std::shared_ptr<MilestoneLog> firstLogOn(const Milestone &milestone, const QDate &day)
{
    for (const auto &log : milestone.dailyLogs()) {
        if (log && localDate(log->date()) == day)
            return log;
    }
    return nullptr;
}

} // namespace

MilestoneProgressService &MilestoneProgressService::shared()
{
    static MilestoneProgressService service;
    return service;
}

MilestoneProgressService::MilestoneProgressService() : m_center(NotificationCenter::current())
{
}

void MilestoneProgressService::setNotificationCenter(NotificationCenter *center)
{
    m_center = center;
}

void MilestoneProgressService::evaluate(const QList<std::shared_ptr<Milestone>> &milestones,
                                        const QList<std::shared_ptr<Reminder>> &reminders,
                                        const QList<std::shared_ptr<ReminderLog>> &, StoreContext &context, bool notify)
{
    evaluate(milestones, reminders, context, notify);
}

void MilestoneProgressService::evaluate(const QList<std::shared_ptr<Milestone>> &milestones,
                                        const QList<std::shared_ptr<Reminder>> &reminders, StoreContext &context,
                                        bool notify)
{
    DayTable::shared().revalidate();
    const QDateTime now = Clock::now();
    const QDateTime today = Days::startOfDay(now);
    for (const auto &milestone : milestones) {
        if (!milestone)
            continue;
        // Any text that names no status counts as active.
        const auto status = milestoneStatusFromRaw(milestone->statusRaw());
        if (status == MilestoneStatus::achieved || status == MilestoneStatus::failed)
            continue;

        const double rate = completionRate(*milestone, today, reminders);
        const bool met = milestone->requirePercent() <= rate;
        if (const auto todays = firstLogOn(*milestone, localDate(today).value_or(QDate()))) {
            todays->setCompletionRate(rate);
            todays->setDidMeetThreshold(met);
        } else {
            const auto log = MilestoneLog::create(QUuid::createUuid(), milestone, today, rate, met);
            context.insert(log);
            milestone->appendDailyLog(log);
        }

        const qint64 metDays = consecutiveDaysMet(*milestone, met, now);
        const qint64 requireDays = milestone->requireDays();
        const qint64 remaining = saturatingSubtract(requireDays, metDays);
        const CopyContext announcement = announcementContext(*milestone, metDays);

        if (metDays >= requireDays) {
            milestone->setStatusRaw(rawValue(MilestoneStatus::achieved));
            if (notify)
                postMilestoneNotification(CopyTrigger::milestoneUnlocked, announcement,
                                          QStringLiteral("Reward earned."));
        } else if (hasFailed(*milestone, today)) {
            milestone->setStatusRaw(rawValue(MilestoneStatus::failed));
            if (notify)
                postMilestoneNotification(CopyTrigger::milestoneFailed, announcement,
                                          QStringLiteral("You dropped it."));
        } else if (met && notify) {
            if (remaining >= 1 && remaining <= 3)
                postMilestoneNotification(CopyTrigger::milestoneAlmostThere, announcement,
                                          QStringLiteral("Almost there."));
            else
                postMilestoneNotification(CopyTrigger::milestoneProgress, announcement,
                                          QStringLiteral("Still in play."));
        }
    }
    QString error;
    if (!context.save(&error))
        qCDebug(lcEngine) << "Saving the reward evaluation failed; the changes stay pending:" << error;
}

CopyContext MilestoneProgressService::announcementContext(const Milestone &milestone, qint64 metDays)
{
    const qint64 requireDays = milestone.requireDays();
    // A stored requireDays below 1 must not divide by zero.
    const double share = double(metDays) / double(std::max<qint64>(requireDays, 1));
    return CopyContext{
        .rewardName = milestone.reward(),
        .remaining = std::max<qint64>(saturatingSubtract(requireDays, metDays), 0),
        .current = metDays,
        .required = requireDays,
        .progressPercent = qint64(std::clamp(share * 100.0, -9.0e18, 9.0e18)),
    };
}

double MilestoneProgressService::completionRate(const Milestone &milestone, const QDateTime &day,
                                                const QList<std::shared_ptr<Reminder>> &reminders,
                                                const QList<std::shared_ptr<ReminderLog>> &) const
{
    return completionRate(milestone, day, reminders);
}

double MilestoneProgressService::completionRate(const Milestone &milestone, const QDateTime &day,
                                                const QList<std::shared_ptr<Reminder>> &reminders) const
{
    DayTable::shared().revalidate();
    const std::optional<QDate> onDay = localDate(day);
    if (!onDay)
        return 0;
    // A category text that names none counts every active reminder; `general` counts only its own.
    const std::optional<ReminderCategory> linked = milestone.linkedCategory();
    QSet<QUuid> counted;
    for (const auto &reminder : reminders) {
        if (reminder && reminder->isActive() && (!linked || reminder->categoryValue() == *linked))
            counted.insert(reminder->id());
    }
    if (counted.isEmpty())
        return 0;

    // Every status counts against: skipped, missed and snoozed alike. A reminder listed twice counts once.
    ReminderLogIndex &index = ReminderLogIndex::shared();
    QSet<const Reminder *> seen;
    qint64 total = 0;
    qint64 completed = 0;
    for (const auto &reminder : reminders) {
        if (!reminder || !counted.contains(reminder->id()) || seen.contains(reminder.get()))
            continue;
        seen.insert(reminder.get());
        const auto count = index.table(*reminder)->countOnDay(*onDay);
        total += count.total;
        completed += count.completed;
    }
    return total == 0 ? 0.0 : double(completed) / double(total);
}

qint64 MilestoneProgressService::consecutiveDaysMet(const Milestone &milestone, bool metToday,
                                                    const QDateTime &moment) const
{
    DayTable &days = DayTable::shared();
    days.revalidate();
    const std::optional<QDate> start = localDate(moment);
    if (!start)
        return 0;

    struct DayLog
    {
        qint64 instant;
        QDate day;
        bool met;
    };
    std::vector<DayLog> sorted;
    sorted.reserve(std::size_t(milestone.dailyLogs().size()));
    for (const auto &log : milestone.dailyLogs()) {
        if (!log)
            continue;
        const QDateTime date = log->date();
        const auto instant = days.msecs(date);
        // A log without a valid date sorts last and ends the run where it is met.
        sorted.push_back(DayLog{instant.value_or(std::numeric_limits<qint64>::min()), localDate(date).value_or(QDate()),
                                log->didMeetThreshold()});
    }
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const DayLog &a, const DayLog &b) { return a.instant > b.instant; });

    QDate cursor = metToday ? *start : start->addDays(-1);
    qint64 count = 0;
    for (const DayLog &log : sorted) {
        if (!cursor.isValid() || !log.day.isValid() || log.day < cursor)
            break; // a day without a log ends the run
        if (log.day > cursor)
            continue;
        if (!log.met)
            break;
        ++count;
        cursor = cursor.addDays(-1);
    }
    return count;
}

bool MilestoneProgressService::hasFailed(const Milestone &milestone, const QDateTime &today) const
{
    DayTable::shared().revalidate();
    const std::optional<QDate> day = localDate(today);
    if (!day)
        return false;
    const auto yesterday = firstLogOn(milestone, day->addDays(-1));
    if (!yesterday || yesterday->didMeetThreshold())
        return false;
    if (!AppSettings::shared().gracePeriodEnabled())
        return true;
    const auto dayBefore = firstLogOn(milestone, day->addDays(-2));
    return dayBefore && !dayBefore->didMeetThreshold();
}

void MilestoneProgressService::postMilestoneNotification(CopyTrigger trigger, const CopyContext &context,
                                                         const QString &title)
{
    NotificationContent content;
    content.title = title;
    content.body = CopyEngine::shared().text(trigger, context);
    if (AppSettings::shared().soundEnabled())
        content.sound = NotificationSound::defaultSound();
    const NotificationRequest request{QStringLiteral("milestone-") + uuidText(QUuid::createUuid()), content,
                                      TimeIntervalTrigger{1.0}};
    if (!m_center) {
        qCDebug(lcEngine) << "No notification centre; dropped" << request.identifier;
        return;
    }
    m_center->add(request); // whether the centre takes it is not looked at
}

RewardProgress MilestoneProgressService::progressFraction(const Milestone &milestone,
                                                          const QList<std::shared_ptr<Reminder>> &reminders,
                                                          const QList<std::shared_ptr<ReminderLog>> &,
                                                          const QDateTime &moment) const
{
    return progressFraction(milestone, reminders, moment);
}

RewardProgress MilestoneProgressService::progressFraction(const Milestone &milestone,
                                                          const QList<std::shared_ptr<Reminder>> &reminders,
                                                          const QDateTime &moment) const
{
    DayTable::shared().revalidate();
    const QDateTime today = Days::startOfDay(moment);
    const double rate = completionRate(milestone, today, reminders);
    const bool metToday = milestone.requirePercent() <= rate;
    const qint64 requireDays = milestone.requireDays();

    RewardProgress progress;
    progress.daysMet = consecutiveDaysMet(milestone, metToday, today);
    progress.daysRemaining = std::max<qint64>(saturatingSubtract(requireDays, progress.daysMet), 0);
    if (progress.daysMet >= requireDays)
        progress.status = MilestoneStatus::achieved;
    else if (hasFailed(milestone, today))
        progress.status = MilestoneStatus::failed;
    else
        progress.status = MilestoneStatus::active;
    progress.fraction = std::min(double(progress.daysMet) / double(std::max<qint64>(requireDays, 1)), 1.0);
    return progress;
}

qint64 MilestoneProgressService::daysMet(const Milestone &milestone, const QDateTime &moment) const
{
    DayTable::shared().revalidate();
    const QDateTime today = Days::startOfDay(moment);
    const auto todays = firstLogOn(milestone, localDate(today).value_or(QDate()));
    return consecutiveDaysMet(milestone, todays && todays->didMeetThreshold(), today);
}

} // namespace ovlin
