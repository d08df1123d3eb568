#pragma once

#include "Copy/CopyContext.h"
#include "Copy/CopyTrigger.h"
#include "Model/Enums.h"
#include "Platform/NotificationRequest.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <memory>
#include <optional>

namespace ovlin {

class NotificationCenter;
class Reminder;
class StoreContext;

// What the scheduler offers the rest of the program. Nothing calls through it; it names the operations.
class SchedulerServiceProtocol
{
public:
    virtual ~SchedulerServiceProtocol() = default;
    virtual void schedule(const Reminder &reminder) = 0;
    virtual void cancel(const Reminder &reminder) = 0;
    virtual void rescheduleAll(const QList<std::shared_ptr<Reminder>> &reminders) = 0;
    virtual void handleNotificationResponse(const QUuid &reminderId, const QString &actionIdentifier,
                                            const QDateTime &deliveryDate, StoreContext &context) = 0;
    virtual void registerCategories() = 0;
};

// Keeps the notification centre stocked with each reminder's upcoming notifications and answers the
// user's responses to them. Requests of a reminder are named "ovlin-<UUID>-fixed-<weekday 1..7>" (weekly, one
// per active weekday) and "ovlin-<UUID>-interval-<0..9>" (one-shot, at most ten over the next seven days).
// The centre's removals are synchronous, so a removal always takes effect before the adds of the same call.
// Main thread only; one shared instance for the run.
class SchedulerService final : public SchedulerServiceProtocol
{
public:
    static inline const QString categoryIdentifier = QStringLiteral("TAMSI_REMINDER");
    static inline const QString completeActionIdentifier = QStringLiteral("COMPLETE");
    static inline const QString snoozeActionIdentifier = QStringLiteral("SNOOZE");
    static constexpr qint64 snoozeDurationMinutes = 10;
    static constexpr int maxIntervalRequests = 10;
    static constexpr int intervalScanDays = 7;

    // Created on first use with NotificationCenter::current(), where it registers its category.
    static SchedulerService &shared();

    // Replaces the centre (tests) and registers the category there. Not owned; a centre that is gone
    // makes every request a no-op.
    void setNotificationCenter(NotificationCenter *center);
    NotificationCenter *notificationCenter() const { return m_center; }

    // Replaces the reminder's pending requests by ones that follow its current schedule; an inactive reminder
    // is left with none.
    void schedule(const Reminder &reminder) override;
    // Forgets the reminder's in-app presentation bookkeeping and removes its pending requests. Notifications
    // already shown stay.
    void cancel(const Reminder &reminder) override;
    // Removes every pending "ovlin-" request (evening warning and daily summary included), then schedules the
    // active reminders of the list and forgets the presentation bookkeeping of the inactive ones.
    void rescheduleAll(const QList<std::shared_ptr<Reminder>> &reminders) override;
    // What becomes of an inactive reminder in scheduleEach.
    enum class InactiveReminders {
        unplanned, // its pending requests are removed, as schedule() does
        forgotten, // its presentation bookkeeping is forgotten as well (its requests are gone already)
    };
    // Plans each reminder of the list again, as schedule() does, and leaves every other request alone.
    void scheduleEach(const QList<std::shared_ptr<Reminder>> &reminders,
                      InactiveReminders inactive = InactiveReminders::unplanned);

    // One answer to a reminder notification; the delivery date is the firing's own instant. "COMPLETE" or a
    // click on the notification records a completed log dated by it and posts "Nice." after 1 s (and the streak
    // notification after 2 s at 3, 7, 14, 21 or 30 days), unless that occurrence is completed already; "SNOOZE"
    // records a snoozed log and snoozes the reminder's in-app presentation for 10 minutes. An unknown reminder
    // or action changes nothing.
    void handleNotificationResponse(const QUuid &reminderId, const QString &actionIdentifier,
                                    const QDateTime &deliveryDate, StoreContext &context) override;

    void registerCategories() override;
    void scheduleFixedTime(const Reminder &reminder);
    void scheduleInterval(const Reminder &reminder);
    // A request of one reminder; one-shot requests of one `collapseGroup` that are missed together are shown as
    // the latest one only.
    void addRequest(const QString &identifier, const Reminder &reminder, const NotificationTrigger &trigger,
                    const QString &collapseGroup = {});
    // "ovlin-" and the reminder's upper-case UUID.
    static QString notificationPrefix(const Reminder &reminder);
    // Removes the pending requests whose identifiers begin with `prefix` (none: "ovlin-").
    void removePendingRequests(const std::optional<QString> &prefix = std::nullopt);
    static QStringList identifiersWithPrefix(const QStringList &identifiers,
                                             const std::optional<QString> &prefix = std::nullopt);
    static QStringList notificationRequestIdentifiers(const QList<NotificationRequest> &requests);

    // The Done road of an answer: nothing when the occurrence at the delivery date has a completed log already
    // (see ReminderPresentationService::answer); after a skipped or missed one it records the completion all the
    // same, then posts the follow-ups.
    void completeFromNotification(const std::shared_ptr<Reminder> &reminder, const QDateTime &deliveryDate,
                                  StoreContext &context);
    // The streak notification, for 3, 7, 14, 21 and 30 days only.
    void postStreakMessage(qint64 streak, const CopyContext &context);
    // A "followup-<UUID>" notification without category or user info, `delaySeconds` from now.
    void postFollowUp(const QString &title, const QString &body, double delaySeconds);

    // The times the interval requests of the reminder would cover if scheduled at `now`, in order.
    static QList<QDateTime> intervalTimes(const Reminder &reminder, const QDateTime &now);

private:
    SchedulerService();
    bool addToCenter(const NotificationRequest &request);

    QPointer<NotificationCenter> m_center;
};

} // namespace ovlin
