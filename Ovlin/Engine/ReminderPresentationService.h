#pragma once

#include "Engine/BannerData.h"
#include "Engine/OccurrenceAnswer.h"
#include "Model/Enums.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <memory>
#include <optional>

class QTimer;

namespace ovlin {

enum class LogWeight : quint8;
class AppActivity;
class BannerPresenter;
class NotificationCenter;
class Reminder;
class StoreContainer;
class StoreContext;

// Turns reminders into concrete occurrences (due times on a day), decides which attempt of an open
// occurrence is due, and keeps the in-memory bookkeeping of presented attempts, snoozes and attempt
// base times. Once started it runs the presentation loop: every 15 seconds it presents each attempt that
// has fallen due as a banner, records unanswered snoozed occurrences as missed, and posts the evening
// warning and the daily summary once a day. Main thread only; one shared instance for the run.
//
// Due times come back as date-times that read as local wall time (see DayTable): compare them, take
// their instants, or do day arithmetic through Days.
class ReminderPresentationService : public QObject
{
    Q_OBJECT

public:
    // One due time of one reminder on one day, with the attempt due now (1 to 3).
    struct Occurrence
    {
        std::shared_ptr<Reminder> reminder;
        QDateTime scheduledAt;
        qint64 attempt = 1;
        QString key;
    };

    // A snoozed occurrence is silent before `until`, then due as `nextAttempt` (2 or 3).
    struct SnoozeEntry
    {
        QDateTime until;
        qint64 nextAttempt = 2;

        friend bool operator==(const SnoozeEntry &, const SnoozeEntry &) = default;
    };

    static ReminderPresentationService &shared();
    ~ReminderPresentationService() override;

    // Where banners go and whether the main window is in front of the user; not owned, null for none.
    // The shell wires BannerManager::shared() and MainWindowActivity::shared().
    void setBannerPresenter(BannerPresenter *presenter, AppActivity *activity);
    // The centre the evening notifications are posted to; null means NotificationCenter::current().
    void setNotificationCenter(NotificationCenter *center);

    // Runs the loop on the container (not owned; once it is destroyed the loop finds no store): one pass
    // at once, then one every 15 seconds. Starting again replaces the container and runs a pass, but
    // keeps the one timer.
    void start(StoreContainer *container);
    // One pass of the loop; nothing before start().
    void tick();
    const QTimer *timer() const { return m_timer; }
    static constexpr int tickIntervalMs = 15000;

    // Drops bookkeeping older than 48 hours.
    void pruneBookkeeping();
    // One occurrence of a pass: forgotten when answered, recorded as missed 35 minutes after its base
    // time (only a snoozed one gets that far), otherwise presented once per attempt.
    void handleDue(const Occurrence &occurrence, const QDateTime &now, StoreContext &context);
    // Shows the occurrence's banner, in the main window when it is in front of the user, else floating.
    void present(const Occurrence &occurrence, StoreContext &context);
    // A category line for attempt 1, a follow-up for attempt 2, a final phrase after that.
    QString bannerMessage(const Occurrence &occurrence) const;
    // Skip, "In 15 min", Done; from attempt 3 on "I failed" and Done.
    QList<BannerAction> makeActions(const Occurrence &occurrence, StoreContext &context);

    // The reminder's due times on the date's calendar day, quiet hours left out: the fixed time, the
    // interval steps (window end included), or the fixed time followed by the steps. Not sorted or merged.
    QList<QDateTime> occurrenceTimes(const Reminder &reminder, const QDateTime &date) const;
    QList<QDateTime> fixedTimeOccurrences(const Reminder &reminder, const QDateTime &date) const;
    QList<QDateTime> intervalOccurrences(const Reminder &reminder, const QDateTime &date) const;

    // "<UPPER-CASE UUID>-<whole minutes since 1970>": due times in one clock minute share a key.
    static QString occurrenceKey(const Reminder &reminder, const QDateTime &scheduledAt);
    // "<occurrence key>-<attempt>".
    static QString attemptKey(const QString &occurrenceKey, qint64 attempt);

    // A completed, skipped or missed log lies in the due time's calendar minute.
    bool isResolved(const Reminder &reminder, const QDateTime &scheduledAt) const;
    // The recorded base time of the occurrence, or the due time itself.
    QDateTime attemptBaseDate(const QString &occurrenceKey, const QDateTime &scheduledAt) const;
    // The attempt due at `now`: 1, 2 or 3 by the minutes since the base time (0-14, 15-29, 30-34), a
    // snooze's next attempt once it has run out, or none (not yet due, resolved, snoozed, or expired).
    std::optional<qint64> attemptNumber(const Reminder &reminder, const QDateTime &scheduledAt,
                                        const QDateTime &now) const;
    std::optional<Occurrence> makeOccurrence(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                             const QDateTime &now) const;

    // The earliest unresolved due time of the date's day that is not later than the date (snoozes and
    // attempts do not matter).
    std::optional<QDateTime> dueOccurrenceTime(const Reminder &reminder, const QDateTime &date) const;
    // That time exists and lies strictly before the date.
    bool isOverdue(const Reminder &reminder, const QDateTime &date) const;

    // The loop's weekday test: the reminder's valid weekdays hold the date's weekday, or it has none
    // (then it is due every day, unlike ReminderBehaviorService::remindersScheduled).
    static bool isDueOnWeekday(const Reminder &reminder, const QDateTime &date);
    // What one pass of the loop presents from: for each active reminder due on today's weekday, in list
    // order, its due times of today made into occurrences at `now`, dropping those without an attempt.
    QList<Occurrence> dueOccurrences(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &now) const;

    // The one road of an answer, from a list, a banner or a notification. Places the answered occurrence
    // once (the named one, else the earliest open one up to the answer's time, else that time); unless the
    // occurrence is answered already by the rule of the answer's source, holds a snoozed one back, records
    // the log (with its grace refresh) when a store is given, and forgets the bookkeeping of an occurrence
    // answered from a list or a banner. Returns the answer with its occurrence and outcome.
    OccurrenceAnswer answer(OccurrenceAnswer answer, StoreContext *context);

    // Answers an occurrence as a list does (completed or skipped): logs the status for the due time, or for
    // the earliest open due time up to now, or for now, and forgets the occurrence's bookkeeping.
    void resolveOccurrence(const std::shared_ptr<Reminder> &reminder, LogStatus status, StoreContext *context,
                           std::optional<QDateTime> scheduledAt = std::nullopt);
    // Silences an occurrence (chosen as above) for `minutes`; it comes back as the next attempt (at most 3),
    // counted so that it is recorded as missed 35 minutes after its new base time. A snoozed log is written
    // only when a context is given (a notification's snooze writes its own).
    void snooze(const std::shared_ptr<Reminder> &reminder, qint64 minutes,
                std::optional<QDateTime> dueTime = std::nullopt, StoreContext *context = nullptr);

    // Once a day, at or after the set times: "Still open." while today's scheduled reminders are not all
    // answered, and "Today, wrapped." with a verdict on the day.
    void sendEveningWarningIfNeeded(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &now);
    void sendDailySummaryIfNeeded(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &now);
    // The setting's hour and minute on the date's day; none when the setting holds no time.
    static std::optional<QDateTime> timeToday(const QDateTime &setting, const QDateTime &date);
    // "yyyy-MM-dd" of the date's day.
    static QString dayKey(const QDateTime &date);
    // A one-second request with the default sound while sounds are on; its outcome is not observed.
    void postNotification(const QString &identifier, const QString &title, const QString &body);

    // Back to the state of a fresh launch: no store, no timer, no bookkeeping (tests).
    void resetForTesting();

    // Forgets one occurrence: its presented attempts, its snooze and its base time.
    void clearOccurrenceBookkeeping(const QString &occurrenceKey);
    // Forgets every occurrence of the reminder (the day keys of the evening notifications stay).
    void clearBookkeeping(const Reminder &reminder);

    // The bookkeeping, in memory only. Keys: attempt keys, occurrence keys, occurrence keys, day keys.
    const QHash<QString, QDateTime> &presentedAttemptKeys() const { return m_presentedAttemptKeys; }
    const QHash<QString, SnoozeEntry> &snoozedOccurrences() const { return m_snoozedOccurrences; }
    const QHash<QString, QDateTime> &attemptBaseDates() const { return m_attemptBaseDates; }
    const QHash<QString, QDateTime> &eveningWarningKeys() const { return m_eveningWarningKeys; }
    const QHash<QString, QDateTime> &dailySummaryKeys() const { return m_dailySummaryKeys; }
    void markAttemptPresented(const QString &attemptKey, const QDateTime &presentedAt);
    // A snooze and its base time are written together.
    void setSnooze(const QString &occurrenceKey, const SnoozeEntry &entry, const QDateTime &attemptBase);
    void markEveningWarningPosted(const QString &dayKey, const QDateTime &postedAt);
    void markDailySummaryPosted(const QString &dayKey, const QDateTime &postedAt);

private:
    ReminderPresentationService();

    // The strongest status among the logs in one calendar minute (none without a minute).
    LogWeight weightAtMinute(const Reminder &reminder, std::optional<qint64> minuteKey) const;

    // The due time with its instant, local minute and key.
    static PlacedOccurrence placeOccurrence(const Reminder &reminder, const QDateTime &scheduledAt);
    // dueOccurrenceTime, placed (without its key).
    std::optional<PlacedOccurrence> earliestOpenOccurrence(const Reminder &reminder, const QDateTime &date) const;
    // The occurrence an answer without a named time goes to: the earliest open one up to `now`, else now.
    PlacedOccurrence openOccurrenceAt(const Reminder &reminder, const QDateTime &now) const;
    // attemptNumber of a placed occurrence.
    std::optional<qint64> attemptOf(const Reminder &reminder, const PlacedOccurrence &occurrence,
                                    const QDateTime &now) const;
    // Whether the answer's occurrence is answered already, by the rule of the answer's source.
    bool isAnsweredAlready(const OccurrenceAnswer &answer) const;
    // Silences the answer's held occurrence for its snooze minutes.
    void holdBack(const OccurrenceAnswer &answer);
    void prune(const QDateTime &now);
    // A banner on screen and the occurrence it answers; one per place.
    struct ShownBanner
    {
        std::weak_ptr<Reminder> reminder;
        QDateTime scheduledAt;
        QUuid actionId; // any one of its buttons: tells the presenter which banner is meant
    };
    // Closes the banners whose occurrence has been answered elsewhere since they were shown (a
    // notification, the today list, the popover).
    void dismissAnsweredBanners();
    // The bodies of the banner buttons; they only close the banner once the habit or the store is gone.
    static void bannerAction(const QPointer<ReminderPresentationService> &service, const Occurrence &occurrence,
                             LogStatus status, const QPointer<StoreContext> &context);
    static void snoozeAction(const QPointer<ReminderPresentationService> &service, const Occurrence &occurrence,
                             const QPointer<StoreContext> &context);

    StoreContainer *m_container = nullptr;
    // Follows the container's lifetime: its context goes with it.
    QPointer<StoreContext> m_context;
    QTimer *m_timer = nullptr;
    BannerPresenter *m_bannerPresenter = nullptr;
    AppActivity *m_appActivity = nullptr;
    QPointer<NotificationCenter> m_notificationCenter;
    QMetaObject::Connection m_storeChanges;
    std::optional<ShownBanner> m_bannerInWindow;
    std::optional<ShownBanner> m_floatingBanner;

    QHash<QString, QDateTime> m_presentedAttemptKeys;
    QHash<QString, SnoozeEntry> m_snoozedOccurrences;
    QHash<QString, QDateTime> m_attemptBaseDates;
    QHash<QString, QDateTime> m_eveningWarningKeys;
    QHash<QString, QDateTime> m_dailySummaryKeys;
};

} // namespace ovlin
