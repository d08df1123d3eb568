#include "Analytics/SessionManager.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/Timings.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Defaults.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>

#include <cmath>
#include <limits>

namespace analytics {

namespace {

const QString kRecentSessions = QStringLiteral("recentSessions");
const QString kDeletedSessionsCount = QStringLiteral("deletedSessionsCount");
const QString kFirstSessionDate = QStringLiteral("firstSessionDate");
const QString kDistinctDaysUsed = QStringLiteral("distinctDaysUsed");
// The first session date of an install whose report may not be in the signal cache file yet.
const QString kPendingInstallReport = QStringLiteral("pendingInstallReport");

constexpr qint64 kRetentionSeconds = 7776000; // 90 days

// Additions of counts that may come from a damaged file stop at the largest value.
qint64 saturatingAdd(qint64 a, qint64 b)
{
    qint64 sum = 0;
    if (__builtin_add_overflow(a, b, &sum))
        return b > 0 ? std::numeric_limits<qint64>::max() : std::numeric_limits<qint64>::min();
    return sum;
}

// A stored count of dropped sessions, never below 0.
qint64 deletedCountOf(const QVariant &value)
{
    return value.typeId() == QMetaType::LongLong ? std::max<qint64>(0, value.toLongLong()) : 0;
}

std::mutex g_sharedMutex;
SessionManager *g_shared = nullptr;

} // namespace

SessionManager &SessionManager::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = new SessionManager;
    return *g_shared;
}

void SessionManager::resetSharedForTesting()
{
    std::lock_guard lock(g_sharedMutex);
    delete g_shared;
    g_shared = nullptr;
}

SessionManager::SessionManager()
    : m_currentSessionStartedAt(QDate(1, 1, 1), QTime(0, 0), Qt::UTC),
      m_persistenceQueue(std::string(kReverseDomainPrefix) + ".sessionmanager.persistence")
{
    m_sessionDurationUpdater = new QTimer(this);
    m_sessionDurationUpdater->setSingleShot(true);
    connect(m_sessionDurationUpdater, &QTimer::timeout, this, &SessionManager::onTimer);
    if (QCoreApplication *app = QCoreApplication::instance()) {
        // The timer belongs to the main thread's event loop.
        if (thread() != app->thread())
            moveToThread(app->thread());
        connect(app, &QCoreApplication::aboutToQuit, this, &SessionManager::applicationWillTerminate,
                Qt::DirectConnection);
    }

    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    const QDateTime now = ovlin::Clock::now();
    if (suite) {
        if (const auto data = suite->bytesValue(kRecentSessions)) {
            if (const auto decoded = decodeSessions(*data)) {
                const QDateTime cutoff = now.addSecs(-kRetentionSeconds);
                for (const StoredSession &session : *decoded) {
                    if (session.startedAt > cutoff)
                        m_recentSessions.append(session);
                }
                const qint64 dropped = decoded->size() - m_recentSessions.size();
                const qint64 deleted = saturatingAdd(storedDeletedSessionsCount(*suite), dropped);
                // The pruned list is stored with the count, so the next start does not count them again.
                if (dropped > 0)
                    queueWrite(suite, kRecentSessions, encodeSessions(m_recentSessions));
                queueWrite(suite, kDeletedSessionsCount, deleted);
            }
        }
    }

    // Days of use: once per process, appended when today is not the last one stored.
    const QString today = ovlin::Days::dayKey(now);
    QStringList days = suite ? suiteStringList(*suite, kDistinctDaysUsed) : QStringList();
    if (days.isEmpty() || days.last() != today) {
        days.append(today);
        queueWrite(kDistinctDaysUsed, days);
    }

    ApplicationEvents *events = ApplicationEvents::instance();
    connect(events, &ApplicationEvents::didResignActive, this, &SessionManager::handleDidEnterBackgroundNotification,
            Qt::DirectConnection);
    connect(events, &ApplicationEvents::willBecomeActive, this, &SessionManager::handleWillEnterForegroundNotification,
            Qt::DirectConnection);
    // Read after connecting: a report from now on reaches the handlers, which keep it up to date.
    std::lock_guard lock(m_mutex);
    m_applicationActive = ApplicationEvents::isActive();
}

SessionManager::~SessionManager()
{
    m_persistenceQueue.shutdown();
}

void SessionManager::queueWrite(const QString &key, const QVariant &value)
{
    queueWrite(analyticsDefaults(), key, value);
}

void SessionManager::queueWrite(const std::shared_ptr<ovlin::Defaults> &suite, const QString &key,
                                const QVariant &value)
{
    if (!suite)
        return;
    const QVariant stored = ovlin::Defaults::normalized(value);
    quint64 number = 0;
    {
        std::lock_guard lock(m_pendingMutex);
        number = ++m_writesQueued;
        m_pendingWrites.insert(key, {suite, number, stored});
    }
    m_persistenceQueue.async([this, suite, key, stored, number] {
        suite->setObject(key, stored);
        std::lock_guard lock(m_pendingMutex);
        const auto it = m_pendingWrites.constFind(key);
        if (it != m_pendingWrites.cend() && it->number == number)
            m_pendingWrites.erase(it);
    });
}

QVariant SessionManager::suiteObject(const QString &key) const
{
    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    if (!suite)
        return {};
    {
        std::lock_guard lock(m_pendingMutex);
        const auto it = m_pendingWrites.constFind(key);
        if (it != m_pendingWrites.cend() && it->suite == suite)
            return it->value;
    }
    return suite->object(key);
}

std::optional<QString> SessionManager::firstSessionDate() const
{
    const QVariant value = suiteObject(kFirstSessionDate);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return value.toString();
}

QStringList SessionManager::distinctDaysUsed() const
{
    return stringListOf(suiteObject(kDistinctDaysUsed));
}

void SessionManager::queueSave(const std::optional<QList<StoredSession>> &sessions)
{
    if (sessions)
        queueWrite(kRecentSessions, encodeSessions(*sessions));
}

void SessionManager::waitForPendingWrites()
{
    m_persistenceQueue.sync([] {});
}

void SessionManager::applicationWillTerminate()
{
    bool measuring = false;
    {
        std::lock_guard lock(m_mutex);
        measuring = m_timerRunning;
    }
    if (measuring)
        updateSessionDuration();
    waitForPendingWrites();
}

void SessionManager::beginSession()
{
    bool install = false;
    std::optional<QList<StoredSession>> previous;
    {
        std::lock_guard lock(m_mutex);
        // The session that ends keeps its active time up to now (a ticking clock lost at most a tick).
        if (m_timerRunning)
            previous = advanceDurationLocked();
        setTimerRunningLocked(false);
        m_sessionDurationLastUpdatedAt.reset();
        install = m_recentSessions.isEmpty();
    }
    queueSave(previous);
    // The install report and the stored session reach two files, so the report is marked pending in
    // the suite before the session is stored, and the mark goes once the cache file holds the report,
    // or, when that file cannot be written, once the endpoint has accepted it. A start that finds the
    // mark (the last one was killed in between) reports it unless the cache already holds it, and an
    // install being reported is no new install.
    std::optional<QString> reportDate;
    const QVariant pending = suiteObject(kPendingInstallReport);
    if (pending.typeId() == QMetaType::QString)
        reportDate = pending.toString();
    if (install) {
        if (!reportDate) {
            reportDate = ovlin::Days::dayKey(ovlin::Clock::now());
            queueWrite(kPendingInstallReport, *reportDate);
        }
        queueWrite(kFirstSessionDate, *reportDate);
    }
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
        m_currentSessionStartedAt = ovlin::Clock::now();
        m_currentSessionDuration = 0;
        m_sessionBegun = true;
        toSave = advanceDurationLocked();
        // A run that starts without the focus counts nothing until it gets it.
        if (!m_applicationActive)
            m_sessionDurationLastUpdatedAt.reset();
        // An install's first session is stored from its first moment, even under a second: a start
        // that ends before the first save (a crash, a kill) must not make the next one a new install.
        if (install && m_recentSessions.isEmpty()) {
            m_recentSessions.append({m_currentSessionStartedAt, 0});
            toSave = m_recentSessions;
        }
        setTimerRunningLocked(m_applicationActive);
    }
    queueSave(toSave);
    if (reportDate) {
        // The mark is on disk before the report can be.
        waitForPendingWrites();
        const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
        Analytics::sendInternalOnce(QStringLiteral("Analytics.Acquisition.newInstallDetected"),
                                    {{QStringLiteral("Analytics.Acquisition.firstSessionDate"), *reportDate}}, [suite] {
                                        if (suite)
                                            suite->remove(kPendingInstallReport);
                                    });
    }
    applyTimerState();
}

std::optional<QList<SessionManager::StoredSession>> SessionManager::advanceDurationLocked()
{
    const QDateTime now = ovlin::Clock::now();
    if (m_sessionDurationLastUpdatedAt)
        m_currentSessionDuration += double(m_sessionDurationLastUpdatedAt->msecsTo(now)) / 1000.0;
    m_sessionDurationLastUpdatedAt = now;
    if (!recordSession(m_recentSessions, m_currentSessionDuration))
        return std::nullopt;
    return m_recentSessions;
}

bool SessionManager::recordSession(QList<StoredSession> &sessions, double duration) const
{
    // Time counted before the first session began belongs to no session.
    if (!m_sessionBegun || duration < 1.0)
        return false;
    const double clamped = std::min(duration, double(maximumSessionSeconds));
    const qint64 seconds = qint64(std::trunc(clamped));
    for (qsizetype i = sessions.size() - 1; i >= 0; --i) {
        if (sessions[i].startedAt == m_currentSessionStartedAt) {
            if (sessions[i].durationInSeconds == seconds)
                return false;
            sessions[i].durationInSeconds = seconds;
            return true;
        }
    }
    sessions.append({m_currentSessionStartedAt, seconds});
    return true;
}

QList<SessionManager::StoredSession> SessionManager::liveSessionsLocked() const
{
    QList<StoredSession> sessions = m_recentSessions;
    double duration = m_currentSessionDuration;
    if (m_sessionDurationLastUpdatedAt)
        duration += double(m_sessionDurationLastUpdatedAt->msecsTo(ovlin::Clock::now())) / 1000.0;
    recordSession(sessions, duration);
    return sessions;
}

void SessionManager::updateSessionDuration()
{
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
        toSave = advanceDurationLocked();
    }
    queueSave(toSave);
}

void SessionManager::onTimer()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_timerRunning)
            return;
    }
    updateSessionDuration();
    applyTimerState();
}

void SessionManager::handleDidEnterBackgroundNotification()
{
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
        m_applicationActive = false;
        toSave = advanceDurationLocked();
        setTimerRunningLocked(false);
        m_sessionDurationLastUpdatedAt.reset();
    }
    queueSave(toSave);
    applyTimerState();
}

void SessionManager::handleWillEnterForegroundNotification()
{
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
        m_applicationActive = true;
        // Before the first session (and always without an endpoint) there is nothing to count.
        if (!m_sessionBegun)
            return;
        toSave = advanceDurationLocked();
        setTimerRunningLocked(true);
    }
    queueSave(toSave);
    applyTimerState();
}

void SessionManager::setTimerRunningLocked(bool running)
{
    m_timerRunning = running;
}

bool SessionManager::isDurationTimerRunning() const
{
    std::lock_guard lock(m_mutex);
    return m_timerRunning;
}

// Brings the QTimer in line with the state; runs on the manager's (main) thread.
void SessionManager::applyTimerState()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &SessionManager::applyTimerState, Qt::QueuedConnection);
        return;
    }
    bool running = false;
    {
        std::lock_guard lock(m_mutex);
        running = m_timerRunning;
    }
    // The next save of a long active spell; the durations themselves come from the instants.
    if (running)
        m_sessionDurationUpdater->start(timerMSecs(Timings::current().sessionTimerInterval));
    else
        m_sessionDurationUpdater->stop();
}

QList<SessionManager::StoredSession> SessionManager::recentSessions() const
{
    std::lock_guard lock(m_mutex);
    return liveSessionsLocked();
}

qint64 SessionManager::averageSessionSeconds() const
{
    std::lock_guard lock(m_mutex);
    const QList<StoredSession> sessions = liveSessionsLocked();
    const qsizetype count = sessions.size();
    if (count == 0)
        return -1;
    if (count == 1)
        return sessions.first().durationInSeconds;
    qint64 sum = 0;
    for (qsizetype i = 0; i < count - 1; ++i)
        sum = saturatingAdd(sum, sessions[i].durationInSeconds);
    return sum / qint64(count - 1);
}

std::optional<qint64> SessionManager::previousSessionSeconds() const
{
    std::lock_guard lock(m_mutex);
    const QList<StoredSession> sessions = liveSessionsLocked();
    if (sessions.size() < 2)
        return std::nullopt;
    return sessions[sessions.size() - 2].durationInSeconds;
}

qint64 SessionManager::totalSessionsCount() const
{
    const qint64 deleted = deletedCountOf(suiteObject(kDeletedSessionsCount));
    return saturatingAdd(qint64(recentSessions().size()), deleted);
}

qint64 SessionManager::storedDeletedSessionsCount(const ovlin::Defaults &suite)
{
    return deletedCountOf(suite.object(kDeletedSessionsCount));
}

QByteArray SessionManager::encodeSessions(const QList<StoredSession> &sessions)
{
    QJsonArray array;
    for (const StoredSession &session : sessions) {
        QJsonObject object;
        // Whole seconds, truncated toward zero.
        object.insert(QStringLiteral("st"), session.startedAt.toMSecsSinceEpoch() / 1000);
        object.insert(QStringLiteral("dn"), session.durationInSeconds);
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<SessionManager::StoredSession>> SessionManager::decodeSessions(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    QList<StoredSession> sessions;
    for (const QJsonValue &value : document.array()) {
        if (!value.isObject())
            return std::nullopt;
        const QJsonObject object = value.toObject();
        const QJsonValue st = object.value(QStringLiteral("st"));
        const QJsonValue dn = object.value(QStringLiteral("dn"));
        if (!st.isDouble() || !dn.isDouble())
            return std::nullopt;
        const double seconds = st.toDouble();
        const double duration = dn.toDouble();
        // Beyond what a date or a duration can be: rather no statistics than nonsense. Sums over the
        // list then stay far from the integer range.
        if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11 || std::trunc(duration) != duration || duration < 0 ||
            duration > double(maximumSessionSeconds))
            return std::nullopt;
        sessions.append({QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0)), qint64(duration)});
    }
    return sessions;
}

} // namespace analytics
