#pragma once

#include "Model/Enums.h"

#include <QDate>
#include <QDateTime>
#include <QList>

#include <memory>
#include <optional>

namespace ovlin {

class AppSettings;
class Reminder;
class StoreContext;
struct OccurrenceAnswer;

// What a reminder's logs mean for a whole day, recording and taking back answers, the grace
// bookkeeping of the settings, and the streak. Results depend only on the arguments, the records, the
// settings (AppSettings::shared(), read at each call) and the clock. Main thread only.
class ReminderBehaviorService
{
public:
    // A reminder's state for one calendar day; computed on demand, never stored.
    enum class Resolution { pending, completed, skipped, missed };

    static ReminderBehaviorService &shared();

    // Decided by the logs scheduled in the date's day: completed, else skipped, else missed (an unknown
    // status text counts as missed), else pending. Neither the active flag nor the weekdays matter.
    Resolution resolution(const Reminder &reminder, const QDateTime &date) const;
    // The active reminders of `reminders` with the date's weekday among their days, in list order.
    // An empty weekday list means never here.
    QList<std::shared_ptr<Reminder>> remindersScheduled(const QDateTime &date,
                                                        const QList<std::shared_ptr<Reminder>> &reminders) const;

    // Inserts a new log (completion time now for completed), saves (a failed save is dropped, the log
    // stays in the context), and refreshes the grace state for skipped and missed.
    void logResolution(LogStatus status, const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                       StoreContext &context) const;
    // The same for an answer that went through ReminderPresentationService::answer: the log is written for
    // its occurrence, completed at (and the grace state refreshed as of) the moment it was answered. A
    // notification answers completed or snoozed, so its logs leave the grace state alone.
    void recordAnswer(const OccurrenceAnswer &answer, StoreContext &context) const;
    // Deletes the latest skipped log of the date's day, if there is one, saves and refreshes the grace
    // state. Completed, missed and snoozed logs are never touched.
    void clearResolution(const std::shared_ptr<Reminder> &reminder, const QDateTime &date, StoreContext &context) const;

    // Rewrites graceUsedThisWeek (the day of the latest skipped or missed log of the date's day and the
    // seven before it, or absent) and gracePeriodStart from the stored logs.
    void refreshGraceState(StoreContext &context, const QDateTime &date) const;
    bool canUseGrace(const QDateTime &date) const;
    bool useGraceIfAvailable(const QDateTime &date, bool commit) const;

    // Fully completed days counted back from the reference day. With the grace period on, a skipped or
    // missed day is forgiven when no forgiven day lies within the six days after it. An open reminder
    // ends the streak except on the reference day; days with nothing due are passed over. A reminder
    // counts as due on a day only from the day it was created.
    qint64 currentStreak(const QList<std::shared_ptr<Reminder>> &reminders, std::optional<ReminderCategory> category,
                         const QDateTime &referenceDate) const;
    QList<Resolution> dayResolutions(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &date) const;
    // Whether the walk may forgive `day`, given the days it has forgiven so far.
    bool graceAvailable(const QDateTime &day, const QList<QDateTime> &usedGraceDays) const;

private:
    ReminderBehaviorService() = default;
    void writeLog(LogStatus status, const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                  const QDateTime &answeredAt, StoreContext &context) const;
    static bool graceAvailableOn(bool enabled, const QDate &day, const QList<QDate> &usedGraceDays);
};

} // namespace ovlin
