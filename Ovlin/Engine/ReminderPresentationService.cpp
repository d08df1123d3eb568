#include "Engine/ReminderPresentationService.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "Engine/BannerPresenter.h"
#include "Engine/DayTable.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderLogIndex.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Platform/NotificationCenter.h"
#include "Platform/Store.h"
#include "Platform/SystemClockEvents.h"

#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace ovlin {

namespace {

constexpr qint64 msPerMinute = 60000;
constexpr qint64 secondsPerAttempt = 900;
constexpr qint64 bookkeepingLifetimeSeconds = 48 * 60 * 60;
constexpr qint64 missedAfterMinutes = 35;
constexpr qint64 bannerSnoozeMinutes = 15;
// A snooze longer than this is taken as this long: keeps `until` a valid date whatever a caller passes.
constexpr qint64 maxSnoozeMinutes = qint64(100) * 366 * 24 * 60;

// The quiet-hours test of the settings (start minute in, end minute out), on a minute of the day that is
// already known, so a step of an interval needs no conversion to local time.
class QuietWindow
{
public:
    explicit QuietWindow(const AppSettings &settings) : m_enabled(settings.quietHoursEnabled())
    {
        if (m_enabled) {
            m_start = Days::minuteOfDay(settings.quietStart());
            m_end = Days::minuteOfDay(settings.quietEnd());
        }
    }

    bool contains(int minuteOfDay) const
    {
        if (!m_enabled)
            return false;
        if (m_end >= m_start)
            return m_start <= minuteOfDay && minuteOfDay < m_end;
        return minuteOfDay >= m_start || minuteOfDay < m_end;
    }

private:
    bool m_enabled = false;
    int m_start = 0;
    int m_end = 0;
};

// Minutes from `from` to `to`, truncated toward zero; none when the difference is out of range.
std::optional<qint64> wholeMinutesBetween(qint64 fromMs, qint64 toMs)
{
    qint64 diff = 0;
    if (__builtin_sub_overflow(toMs, fromMs, &diff))
        return std::nullopt;
    return diff / msPerMinute;
}

// Removes the entries whose date (as `dateOf` reads it) lies before the cutoff. The dates are mostly
// local date-times, so their instants come from the day table: the C library would cost a microsecond
// or more for each of the day's entries on every pass.
template <class Hash, class DateOf> void removeOlderThan(Hash &hash, qint64 cutoffMs, DateOf dateOf)
{
    DayTable &days = DayTable::shared();
    for (auto it = hash.begin(); it != hash.end();) {
        const std::optional<qint64> ms = days.msecs(dateOf(it.value()));
        if (ms && *ms < cutoffMs)
            it = hash.erase(it);
        else
            ++it;
    }
}

// "<UPPER-CASE UUID>-<whole minutes since 1970>", truncated toward zero (a minus sign before 1970).
QString occurrenceKeyAt(const Reminder &reminder, qint64 instantMs)
{
    return uuidText(reminder.id()) + QLatin1Char('-') + QString::number(instantMs / msPerMinute);
}

// The attempt of an occurrence that is due and open: a snooze's own, else by the minutes since its base
// time. `keyOf` is asked only when some occurrence has a snooze or a base time of its own.
template <class KeyOf>
std::optional<qint64> attemptOfOpen(const QHash<QString, ReminderPresentationService::SnoozeEntry> &snoozes,
                                    const QHash<QString, QDateTime> &bases, KeyOf keyOf, qint64 dueMs, qint64 nowMs)
{
    DayTable &days = DayTable::shared();
    std::optional<qint64> baseMs = dueMs;
    if (!snoozes.isEmpty() || !bases.isEmpty()) {
        const QString key = keyOf();
        const auto snooze = snoozes.constFind(key);
        if (snooze != snoozes.cend()) {
            const auto untilMs = days.msecs(snooze->until);
            if (untilMs && nowMs < *untilMs)
                return std::nullopt;
            return snooze->nextAttempt; // however long ago the snooze ran out
        }
        const auto base = bases.constFind(key);
        if (base != bases.cend())
            baseMs = days.msecs(*base);
    }
    if (!baseMs)
        return std::nullopt;
    const auto minutes = wholeMinutesBetween(*baseMs, nowMs);
    if (!minutes || *minutes < 0 || *minutes >= 35)
        return std::nullopt;
    if (*minutes < 15)
        return 1;
    if (*minutes < 30)
        return 2;
    return 3;
}

template <class Hash> void removeKeysWithPrefix(Hash &hash, const QString &prefix)
{
    for (auto it = hash.begin(); it != hash.end();) {
        if (it.key().startsWith(prefix))
            it = hash.erase(it);
        else
            ++it;
    }
}

} // namespace

ReminderPresentationService &ReminderPresentationService::shared()
{
    static ReminderPresentationService service;
    return service;
}

ReminderPresentationService::ReminderPresentationService() = default;
ReminderPresentationService::~ReminderPresentationService() = default;

void ReminderPresentationService::setBannerPresenter(BannerPresenter *presenter, AppActivity *activity)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_bannerPresenter = presenter;
    m_appActivity = activity;
}

void ReminderPresentationService::setNotificationCenter(NotificationCenter *center)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_notificationCenter = center;
}

void ReminderPresentationService::start(StoreContainer *container)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_container = container;
    m_context = container ? container->mainContext() : nullptr;
    disconnect(m_storeChanges);
    if (m_context) {
        m_storeChanges = connect(m_context, &StoreContext::objectsChanged, this, [this](RecordTypes types) {
            if (types & RecordType::reminderLog)
                dismissAnsweredBanners();
        });
    }
    tick();
    if (m_timer)
        return;
    m_timer = new QTimer(this);
    m_timer->setInterval(tickIntervalMs);
    m_timer->setTimerType(Qt::CoarseTimer);
    // The timer is the service's child: it cannot fire once the service is gone.
    connect(m_timer, &QTimer::timeout, this, &ReminderPresentationService::tick);
    m_timer->start();
    // After a resume or a clock change, what is due now is presented at once, not at the next tick.
    SystemClockEvents &events = SystemClockEvents::shared();
    connect(&events, &SystemClockEvents::resumed, this, &ReminderPresentationService::tick, Qt::UniqueConnection);
    connect(&events, &SystemClockEvents::clockChanged, this, &ReminderPresentationService::tick, Qt::UniqueConnection);
}

void ReminderPresentationService::tick()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDateTime now = Clock::now();
    prune(now);
    // The container may have been closed since start(): then there is no store to read.
    StoreContext *context = m_context.data();
    if (!m_container || !context)
        return;

    QList<std::shared_ptr<Reminder>> active = context->fetch<Reminder>();
    active.removeIf([](const std::shared_ptr<Reminder> &reminder) { return !reminder || !reminder->isActive(); });

    for (const Occurrence &occurrence : dueOccurrences(active, now))
        handleDue(occurrence, now, *context);

    sendEveningWarningIfNeeded(active, now);
    sendDailySummaryIfNeeded(active, now);
}

void ReminderPresentationService::pruneBookkeeping()
{
    OVLIN_ASSERT_MAIN_THREAD();
    prune(Clock::now());
}

void ReminderPresentationService::prune(const QDateTime &now)
{
    DayTable &days = DayTable::shared();
    days.revalidate();
    const std::optional<qint64> nowMs = days.msecs(now);
    if (!nowMs)
        return;
    qint64 cutoffMs = 0;
    if (__builtin_sub_overflow(*nowMs, bookkeepingLifetimeSeconds * 1000, &cutoffMs))
        return; // nothing can be older than the earliest time there is
    const auto date = [](const QDateTime &value) -> const QDateTime & { return value; };
    removeOlderThan(m_presentedAttemptKeys, cutoffMs, date);
    removeOlderThan(m_snoozedOccurrences, cutoffMs, [](const SnoozeEntry &entry) { return entry.until; });
    removeOlderThan(m_attemptBaseDates, cutoffMs, date);
    removeOlderThan(m_eveningWarningKeys, cutoffMs, date);
    removeOlderThan(m_dailySummaryKeys, cutoffMs, date);
}

void ReminderPresentationService::handleDue(const Occurrence &occurrence, const QDateTime &now, StoreContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!occurrence.reminder)
        return;
    const Reminder &reminder = *occurrence.reminder;
    if (isResolved(reminder, occurrence.scheduledAt)) {
        clearOccurrenceBookkeeping(occurrence.key);
        return;
    }
    DayTable &days = DayTable::shared();
    const auto baseMs = days.msecs(attemptBaseDate(occurrence.key, occurrence.scheduledAt));
    const auto nowMs = days.msecs(now);
    const auto minutes = baseMs && nowMs ? wholeMinutesBetween(*baseMs, *nowMs) : std::nullopt;
    if (minutes && *minutes >= missedAfterMinutes) {
        // Only a snoozed occurrence is still due this late: nobody came back to it.
        ReminderBehaviorService::shared().logResolution(LogStatus::missed, occurrence.reminder, occurrence.scheduledAt,
                                                        context);
        clearOccurrenceBookkeeping(occurrence.key);
        return;
    }
    const QString key = attemptKey(occurrence.key, occurrence.attempt);
    if (m_presentedAttemptKeys.contains(key))
        return;
    markAttemptPresented(key, now);
    present(occurrence, context);
}

void ReminderPresentationService::present(const Occurrence &occurrence, StoreContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!occurrence.reminder)
        return;
    if (!m_bannerPresenter || !m_appActivity) {
        qCDebug(lcEngine) << "No banner presenter: attempt" << occurrence.attempt << "of" << occurrence.key
                          << "is not shown";
        return;
    }
    const QString message = bannerMessage(occurrence);
    const QList<BannerAction> actions = makeActions(occurrence, context);
    // Remembered per place, so the banner can be closed when the occurrence is answered elsewhere.
    const bool inWindow = showBanner(*m_bannerPresenter, *m_appActivity, occurrence.reminder->title(), message,
                                     BannerStyle::reminder, actions);
    (inWindow ? m_bannerInWindow : m_floatingBanner) =
        ShownBanner{occurrence.reminder, occurrence.scheduledAt, actions.first().id};
}

void ReminderPresentationService::dismissAnsweredBanners()
{
    OVLIN_ASSERT_MAIN_THREAD();
    for (std::optional<ShownBanner> *place : {&m_bannerInWindow, &m_floatingBanner}) {
        if (!*place)
            continue;
        const std::shared_ptr<Reminder> reminder = (*place)->reminder.lock();
        if (!reminder || reminder->isDeleted()) {
            place->reset(); // its buttons only close it now
            continue;
        }
        if (!isResolved(*reminder, (*place)->scheduledAt))
            continue;
        const QUuid actionId = (*place)->actionId;
        place->reset();
        if (m_bannerPresenter)
            m_bannerPresenter->dismissBannerWithAction(actionId);
    }
}

QString ReminderPresentationService::bannerMessage(const Occurrence &occurrence) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!occurrence.reminder)
        return {};
    const Reminder &reminder = *occurrence.reminder;
    CopyEngine &copy = CopyEngine::shared();
    if (occurrence.attempt == 1)
        return copy.categoryText(reminder.categoryValue());

    CopyContext context;
    context.habitName = reminder.title();
    context.duration = reminder.detail();
    if (const std::optional<QDateTime> fixedTime = reminder.firingFixedTime(); fixedTime && fixedTime->isValid())
        context.mealTime = QLocale().toString(fixedTime->toLocalTime().time(), QLocale::ShortFormat);
    const CopyTrigger trigger =
        occurrence.attempt == 2 ? CopyTrigger::notificationFollowUp : CopyTrigger::notificationFinal;
    return copy.text(trigger, context);
}

QList<BannerAction> ReminderPresentationService::makeActions(const Occurrence &occurrence, StoreContext &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Weak holds: a button pressed after the service or the store is gone only closes the banner.
    const QPointer<ReminderPresentationService> service(this);
    const QPointer<StoreContext> store(&context);
    const auto resolving = [=](LogStatus status) { return [=] { bannerAction(service, occurrence, status, store); }; };

    QList<BannerAction> actions;
    if (occurrence.attempt < 3) {
        actions.append({QUuid::createUuid(), QStringLiteral("Skip"), BannerAction::Role::destructive,
                        resolving(LogStatus::skipped)});
        actions.append({QUuid::createUuid(), QStringLiteral("In 15 min"), BannerAction::Role::secondary,
                        [=] { snoozeAction(service, occurrence, store); }});
    } else {
        actions.append({QUuid::createUuid(), QStringLiteral("I failed"), BannerAction::Role::destructive,
                        resolving(LogStatus::skipped)});
    }
    actions.append(
        {QUuid::createUuid(), QStringLiteral("Done"), BannerAction::Role::primary, resolving(LogStatus::completed)});
    return actions;
}

void ReminderPresentationService::bannerAction(const QPointer<ReminderPresentationService> &service,
                                               const Occurrence &occurrence, LogStatus status,
                                               const QPointer<StoreContext> &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The banner captured its reminder and store when it was shown; the answer step closes it only when the
    // habit or the store is gone, or when the occurrence was answered elsewhere since.
    if (!service)
        return;
    service->answer({.source = OccurrenceAnswer::Source::banner,
                     .status = status,
                     .reminder = occurrence.reminder,
                     .answeredAt = Clock::now(),
                     .at = occurrence.scheduledAt},
                    context.data());
}

void ReminderPresentationService::snoozeAction(const QPointer<ReminderPresentationService> &service,
                                               const Occurrence &occurrence, const QPointer<StoreContext> &context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!service)
        return;
    service->answer({.source = OccurrenceAnswer::Source::banner,
                     .status = LogStatus::snoozed,
                     .reminder = occurrence.reminder,
                     .answeredAt = Clock::now(),
                     .at = occurrence.scheduledAt,
                     .snoozeMinutes = bannerSnoozeMinutes},
                    context.data());
}

void ReminderPresentationService::sendEveningWarningIfNeeded(const QList<std::shared_ptr<Reminder>> &reminders,
                                                             const QDateTime &now)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const AppSettings &settings = AppSettings::shared();
    if (!settings.eveningReminderEnabled())
        return;
    const std::optional<QDateTime> target = timeToday(settings.eveningReminderTime(), now);
    if (!target || now < *target)
        return;
    const QString day = dayKey(*target);
    if (m_eveningWarningKeys.contains(day))
        return;

    const ReminderBehaviorService &behavior = ReminderBehaviorService::shared();
    const auto scheduled = behavior.remindersScheduled(now, reminders);
    const bool anyOpen = std::any_of(scheduled.begin(), scheduled.end(), [&](const auto &reminder) {
        return behavior.resolution(*reminder, now) == ReminderBehaviorService::Resolution::pending;
    });
    // Stays armed: a reminder that opens later this evening still brings the warning.
    if (!anyOpen)
        return;

    const CopyTrigger trigger =
        behavior.useGraceIfAvailable(now, false) ? CopyTrigger::streakAtRiskSoft : CopyTrigger::streakAtRisk;
    const QString text = CopyEngine::shared().text(trigger, CopyContext{});
    postNotification(QStringLiteral("ovlin-evening-") + day, QStringLiteral("Still open."), text);
    markEveningWarningPosted(day, now);
}

void ReminderPresentationService::sendDailySummaryIfNeeded(const QList<std::shared_ptr<Reminder>> &reminders,
                                                           const QDateTime &now)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const AppSettings &settings = AppSettings::shared();
    if (!settings.dailySummaryEnabled())
        return;
    const std::optional<QDateTime> target = timeToday(settings.dailySummaryTime(), now);
    if (!target || now < *target)
        return;
    const QString day = dayKey(*target);
    if (m_dailySummaryKeys.contains(day))
        return;

    const ReminderBehaviorService &behavior = ReminderBehaviorService::shared();
    const auto scheduled = behavior.remindersScheduled(now, reminders);
    if (scheduled.isEmpty())
        return;
    qint64 completed = 0;
    qint64 resolved = 0;
    for (const auto &reminder : scheduled) {
        const ReminderBehaviorService::Resolution resolution = behavior.resolution(*reminder, now);
        completed += resolution == ReminderBehaviorService::Resolution::completed;
        resolved += resolution != ReminderBehaviorService::Resolution::pending;
    }
    const qint64 total = scheduled.size();
    CopyTrigger trigger = CopyTrigger::dailySummaryFailed;
    if (completed == total)
        trigger = CopyTrigger::dailySummaryPerfect;
    else if (completed > 0 || resolved > 0)
        trigger = CopyTrigger::dailySummaryPartial;

    CopyContext context;
    context.current = completed;
    context.required = total;
    const QString text = CopyEngine::shared().text(trigger, context);
    postNotification(QStringLiteral("ovlin-summary-") + day, QStringLiteral("Today, wrapped."), text);
    markDailySummaryPosted(day, now);
}

std::optional<QDateTime> ReminderPresentationService::timeToday(const QDateTime &setting, const QDateTime &date)
{
    if (!setting.isValid() || !date.isValid())
        return std::nullopt;
    const QDateTime placed = Days::placeTimeOfDay(setting, date);
    if (!placed.isValid())
        return std::nullopt;
    return placed;
}

QString ReminderPresentationService::dayKey(const QDateTime &date)
{
    return Days::dayKey(date);
}

void ReminderPresentationService::postNotification(const QString &identifier, const QString &title, const QString &body)
{
    OVLIN_ASSERT_MAIN_THREAD();
    NotificationRequest request;
    request.identifier = identifier;
    request.content.title = title;
    request.content.body = body;
    if (AppSettings::shared().soundEnabled())
        request.content.sound = NotificationSound::defaultSound();
    request.trigger = TimeIntervalTrigger{1.0};
    NotificationCenter *center = m_notificationCenter ? m_notificationCenter.data() : NotificationCenter::current();
    if (center)
        center->add(request);
}

void ReminderPresentationService::resetForTesting()
{
    OVLIN_ASSERT_MAIN_THREAD();
    delete m_timer;
    m_timer = nullptr;
    m_container = nullptr;
    m_context = nullptr;
    m_bannerPresenter = nullptr;
    m_appActivity = nullptr;
    m_notificationCenter = nullptr;
    disconnect(m_storeChanges);
    m_bannerInWindow.reset();
    m_floatingBanner.reset();
    m_presentedAttemptKeys.clear();
    m_snoozedOccurrences.clear();
    m_attemptBaseDates.clear();
    m_eveningWarningKeys.clear();
    m_dailySummaryKeys.clear();
}

QList<QDateTime> ReminderPresentationService::occurrenceTimes(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    switch (reminder.scheduleTypeValue()) {
    case ScheduleType::fixedTime: return fixedTimeOccurrences(reminder, date);
    case ScheduleType::interval: return intervalOccurrences(reminder, date);
    case ScheduleType::combined: return fixedTimeOccurrences(reminder, date) + intervalOccurrences(reminder, date);
    }
    return {};
}

QList<QDateTime> ReminderPresentationService::fixedTimeOccurrences(const Reminder &reminder,
                                                                   const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<QDateTime> fixedTime = reminder.fixedTime();
    if (!fixedTime)
        return {};
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto timeOfDay = days.local(*fixedTime);
    const auto day = days.local(date);
    if (!timeOfDay || !day)
        return {};
    const int minute = timeOfDay->minuteOfDay();
    const QDateTime due = days.atTime(day->date, minute / 60, minute % 60);
    const auto dueLocal = days.local(due);
    if (!dueLocal || QuietWindow(AppSettings::shared()).contains(dueLocal->minuteOfDay()))
        return {};
    return {due};
}

QList<QDateTime> ReminderPresentationService::intervalOccurrences(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<qint64> minutes = reminder.intervalMinutes();
    if (!minutes || *minutes <= 0)
        return {};
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto day = days.local(date);
    if (!day)
        return {};

    // Only the hour and minute of each source count; without one the window runs from 08:00 to 20:00.
    const auto place = [&](const std::optional<QDateTime> &source, int hour, int minute) -> QDateTime {
        if (source) {
            const auto local = days.local(*source);
            if (!local)
                return {};
            hour = local->minuteOfDay() / 60;
            minute = local->minuteOfDay() % 60;
        }
        return days.atTime(day->date, hour, minute);
    };
    const auto startMs = days.msecs(place(reminder.intervalStart(), 8, 0));
    const auto endMs = days.msecs(place(reminder.intervalEnd(), 20, 0));
    if (!startMs || !endMs || *endMs < *startMs)
        return {}; // a window never runs past midnight

    const qint64 window = *endMs - *startMs;
    // A step longer than the window keeps the start alone (and keeps the arithmetic in range).
    const qint64 stepMs = *minutes > window / msPerMinute ? window + 1 : *minutes * msPerMinute;
    const DayTable::Day dayInfo = days.day(day->date);
    const QuietWindow quiet(AppSettings::shared());
    QList<QDateTime> times;
    for (qint64 t = *startMs; t <= *endMs; t += stepMs) {
        if (dayInfo.regular && dayInfo.contains(t)) {
            if (!quiet.contains(int((t - dayInfo.startMs) / msPerMinute)))
                times.append(QDateTime::fromMSecsSinceEpoch(t, Qt::OffsetFromUTC, dayInfo.offsetSeconds));
        } else if (!quiet.contains(days.localOfMSecs(t).minuteOfDay())) {
            times.append(days.dateTime(t));
        }
    }
    return times;
}

QString ReminderPresentationService::occurrenceKey(const Reminder &reminder, const QDateTime &scheduledAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    return occurrenceKeyAt(reminder, days.msecs(scheduledAt).value_or(0));
}

QString ReminderPresentationService::attemptKey(const QString &occurrenceKey, qint64 attempt)
{
    return occurrenceKey + QLatin1Char('-') + QString::number(attempt);
}

LogWeight ReminderPresentationService::weightAtMinute(const Reminder &reminder, std::optional<qint64> minuteKey) const
{
    if (!minuteKey)
        return LogWeight::none;
    return ReminderLogIndex::shared().table(reminder)->weightAtMinute(*minuteKey);
}

bool ReminderPresentationService::isResolved(const Reminder &reminder, const QDateTime &scheduledAt) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto local = days.local(scheduledAt);
    return local && weightAtMinute(reminder, local->minuteKey()) != LogWeight::none;
}

QDateTime ReminderPresentationService::attemptBaseDate(const QString &occurrenceKey, const QDateTime &scheduledAt) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_attemptBaseDates.value(occurrenceKey, scheduledAt);
}

std::optional<qint64> ReminderPresentationService::attemptNumber(const Reminder &reminder, const QDateTime &scheduledAt,
                                                                 const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto nowMs = days.msecs(now);
    const auto dueMs = days.msecs(scheduledAt);
    if (!nowMs || !dueMs || *nowMs < *dueMs)
        return std::nullopt;
    if (isResolved(reminder, scheduledAt))
        return std::nullopt;
    return attemptOfOpen(
        m_snoozedOccurrences, m_attemptBaseDates, [&] { return occurrenceKey(reminder, scheduledAt); }, *dueMs, *nowMs);
}

std::optional<qint64> ReminderPresentationService::attemptOf(const Reminder &reminder,
                                                             const PlacedOccurrence &occurrence,
                                                             const QDateTime &now) const
{
    const auto nowMs = DayTable::shared().msecs(now);
    if (!nowMs || !occurrence.minuteKey || *nowMs < occurrence.instantMs)
        return std::nullopt;
    if (weightAtMinute(reminder, occurrence.minuteKey) != LogWeight::none)
        return std::nullopt;
    return attemptOfOpen(
        m_snoozedOccurrences, m_attemptBaseDates, [&] { return occurrence.key; }, occurrence.instantMs, *nowMs);
}

std::optional<ReminderPresentationService::Occurrence>
ReminderPresentationService::makeOccurrence(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                            const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder)
        return std::nullopt;
    const std::optional<qint64> attempt = attemptNumber(*reminder, scheduledAt, now);
    if (!attempt)
        return std::nullopt;
    QString key = occurrenceKey(*reminder, scheduledAt);
    const auto snooze = m_snoozedOccurrences.constFind(key);
    if (snooze != m_snoozedOccurrences.cend()) {
        DayTable &days = DayTable::shared();
        const auto nowMs = days.msecs(now);
        const auto untilMs = days.msecs(snooze->until);
        if (nowMs && untilMs && *nowMs < *untilMs)
            return std::nullopt;
    }
    return Occurrence{reminder, scheduledAt, *attempt, std::move(key)};
}

std::optional<QDateTime> ReminderPresentationService::dueOccurrenceTime(const Reminder &reminder,
                                                                        const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<PlacedOccurrence> earliest = earliestOpenOccurrence(reminder, date);
    return earliest ? std::optional(earliest->scheduledAt) : std::nullopt;
}

std::optional<PlacedOccurrence> ReminderPresentationService::earliestOpenOccurrence(const Reminder &reminder,
                                                                                    const QDateTime &date) const
{
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto dateMs = days.msecs(date);
    if (!dateMs)
        return std::nullopt;
    std::shared_ptr<const ReminderLogIndex::Table> logs; // looked up for the first candidate
    std::optional<PlacedOccurrence> earliest;
    for (const QDateTime &due : occurrenceTimes(reminder, date)) {
        const auto dueMs = days.msecs(due);
        if (!dueMs || *dueMs > *dateMs || (earliest && *dueMs >= earliest->instantMs))
            continue;
        const auto local = days.local(due);
        if (local) {
            if (!logs)
                logs = ReminderLogIndex::shared().table(reminder);
            if (logs->weightAtMinute(local->minuteKey()) != LogWeight::none)
                continue;
        }
        earliest = PlacedOccurrence{due, *dueMs, local ? std::optional(local->minuteKey()) : std::nullopt, {}};
    }
    return earliest;
}

PlacedOccurrence ReminderPresentationService::placeOccurrence(const Reminder &reminder, const QDateTime &scheduledAt)
{
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto placed = days.place(scheduledAt);
    if (!placed)
        return PlacedOccurrence{scheduledAt, 0, std::nullopt, occurrenceKeyAt(reminder, 0)};
    return PlacedOccurrence{scheduledAt, placed->instant, placed->local.minuteKey(),
                            occurrenceKeyAt(reminder, placed->instant)};
}

PlacedOccurrence ReminderPresentationService::openOccurrenceAt(const Reminder &reminder, const QDateTime &now) const
{
    std::optional<PlacedOccurrence> open = earliestOpenOccurrence(reminder, now);
    if (!open)
        return placeOccurrence(reminder, now);
    open->key = occurrenceKeyAt(reminder, open->instantMs);
    return *open;
}

bool ReminderPresentationService::isOverdue(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<PlacedOccurrence> due = earliestOpenOccurrence(reminder, date);
    const auto dateMs = DayTable::shared().msecs(date);
    return due && dateMs && due->instantMs < *dateMs;
}

bool ReminderPresentationService::isDueOnWeekday(const Reminder &reminder, const QDateTime &date)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QList<Weekday> activeDays = reminder.activeDays();
    if (activeDays.isEmpty())
        return true;
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto local = days.local(date);
    if (!local)
        return false;
    const int today = Days::calendarWeekday(local->date);
    return std::any_of(activeDays.begin(), activeDays.end(),
                       [today](Weekday day) { return calendarWeekday(day) == today; });
}

QList<ReminderPresentationService::Occurrence>
ReminderPresentationService::dueOccurrences(const QList<std::shared_ptr<Reminder>> &reminders,
                                            const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    QList<Occurrence> occurrences;
    for (const auto &reminder : reminders) {
        if (!reminder || !reminder->isActive() || !isDueOnWeekday(*reminder, now))
            continue;
        for (const QDateTime &due : occurrenceTimes(*reminder, now)) {
            if (auto occurrence = makeOccurrence(reminder, due, now))
                occurrences.append(std::move(*occurrence));
        }
    }
    return occurrences;
}

OccurrenceAnswer ReminderPresentationService::answer(OccurrenceAnswer answer, StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    using Source = OccurrenceAnswer::Source;
    // A habit deleted since a banner, a list or a notification captured it gets no log: it would point at
    // nothing. A banner whose store was closed only closes.
    if (!answer.reminder || answer.reminder->isDeleted() || (answer.source == Source::banner && !context)) {
        qCDebug(lcEngine) << "An answer for a habit or a store that is gone; nothing recorded";
        answer.outcome = OccurrenceAnswer::Outcome::gone;
        return answer;
    }
    const Reminder &reminder = *answer.reminder;
    // A log always gets a real time, whoever forgot to say when the answer was given.
    if (!answer.answeredAt.isValid())
        answer.answeredAt = Clock::now();
    const bool snoozing = answer.status == LogStatus::snoozed;
    answer.occurrence =
        answer.at ? placeOccurrence(reminder, *answer.at) : openOccurrenceAt(reminder, answer.answeredAt);
    // A notification's log keeps its delivery time; its snooze goes to the reminder's open occurrence.
    answer.held = snoozing && answer.source == Source::notification ? openOccurrenceAt(reminder, answer.answeredAt)
                                                                    : answer.occurrence;

    if (isAnsweredAlready(answer)) {
        qCDebug(lcEngine) << "An answer for an occurrence that is answered already; nothing recorded";
        if (answer.source == Source::banner && !snoozing)
            clearOccurrenceBookkeeping(answer.occurrence.key);
        answer.outcome = OccurrenceAnswer::Outcome::redundant;
        return answer;
    }
    if (snoozing)
        holdBack(answer);
    if (context)
        ReminderBehaviorService::shared().recordAnswer(answer, *context);
    // Forgotten even when the save failed: the log is in the context and decides the occurrence. After a
    // notification's Done the loop forgets it once it sees the log.
    if (!snoozing && answer.source != Source::notification)
        clearOccurrenceBookkeeping(answer.occurrence.key);
    answer.outcome = OccurrenceAnswer::Outcome::recorded;
    return answer;
}

bool ReminderPresentationService::isAnsweredAlready(const OccurrenceAnswer &answer) const
{
    switch (answer.source) {
    case OccurrenceAnswer::Source::list:
        // The earliest open occurrence, or now: answering twice writes twice.
        return false;
    case OccurrenceAnswer::Source::banner:
        // Left over from before its occurrence was answered elsewhere (its close is queued behind the store
        // change): any deciding log.
        return weightAtMinute(*answer.reminder, answer.occurrence.minuteKey) != LogWeight::none;
    case OccurrenceAnswer::Source::notification:
        // Only a completion makes a Done redundant: it outweighs a skip or a miss, and the user did the habit
        // after all. A snooze is always recorded.
        return answer.status == LogStatus::completed &&
               weightAtMinute(*answer.reminder, answer.occurrence.minuteKey) == LogWeight::completed;
    }
    return false;
}

void ReminderPresentationService::holdBack(const OccurrenceAnswer &answer)
{
    const qint64 attempt = attemptOf(*answer.reminder, answer.held, answer.answeredAt).value_or(1);
    const qint64 nextAttempt = std::min<qint64>(attempt + 1, 3);
    const qint64 boundedMinutes = std::clamp(answer.snoozeMinutes, -maxSnoozeMinutes, maxSnoozeMinutes);
    const QDateTime until = answer.answeredAt.addSecs(boundedMinutes * 60);
    // At `until` the occurrence stands 15 or 30 minutes past its base, so its attempt count carries on.
    const QDateTime base = until.addSecs(-(nextAttempt - 1) * secondsPerAttempt);
    setSnooze(answer.held.key, SnoozeEntry{until, nextAttempt}, base);
}

void ReminderPresentationService::resolveOccurrence(const std::shared_ptr<Reminder> &reminder, LogStatus status,
                                                    StoreContext *context, std::optional<QDateTime> scheduledAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    answer({.source = OccurrenceAnswer::Source::list,
            .status = status,
            .reminder = reminder,
            .answeredAt = Clock::now(),
            .at = scheduledAt},
           context);
}

void ReminderPresentationService::snooze(const std::shared_ptr<Reminder> &reminder, qint64 minutes,
                                         std::optional<QDateTime> dueTime, StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    answer({.source = OccurrenceAnswer::Source::list,
            .status = LogStatus::snoozed,
            .reminder = reminder,
            .answeredAt = Clock::now(),
            .at = dueTime,
            .snoozeMinutes = minutes},
           context);
}

void ReminderPresentationService::clearOccurrenceBookkeeping(const QString &occurrenceKey)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Its attempt keys only: the bare key is also the start of longer keys of other minutes.
    const QString attemptPrefix = occurrenceKey + QLatin1Char('-');
    removeKeysWithPrefix(m_presentedAttemptKeys, attemptPrefix);
    m_snoozedOccurrences.remove(occurrenceKey);
    m_attemptBaseDates.remove(occurrenceKey);
}

void ReminderPresentationService::clearBookkeeping(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QString prefix = uuidText(reminder.id());
    removeKeysWithPrefix(m_presentedAttemptKeys, prefix);
    removeKeysWithPrefix(m_snoozedOccurrences, prefix);
    removeKeysWithPrefix(m_attemptBaseDates, prefix);
}

void ReminderPresentationService::markAttemptPresented(const QString &attemptKey, const QDateTime &presentedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_presentedAttemptKeys.insert(attemptKey, presentedAt);
}

void ReminderPresentationService::setSnooze(const QString &occurrenceKey, const SnoozeEntry &entry,
                                            const QDateTime &attemptBase)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_snoozedOccurrences.insert(occurrenceKey, entry);
    m_attemptBaseDates.insert(occurrenceKey, attemptBase);
}

void ReminderPresentationService::markEveningWarningPosted(const QString &dayKey, const QDateTime &postedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_eveningWarningKeys.insert(dayKey, postedAt);
}

void ReminderPresentationService::markDailySummaryPosted(const QString &dayKey, const QDateTime &postedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_dailySummaryKeys.insert(dayKey, postedAt);
}

} // namespace ovlin
