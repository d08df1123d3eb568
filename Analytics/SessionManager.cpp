#include "Analytics/SessionManager.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/Timings.h"

#include "Platform/Clock.h"
#include "Platform/Days.h"

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

constexpr qint64 kRetentionSeconds = 7776000; // 90 days

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
    connect(m_sessionDurationUpdater, &QTimer::timeout, this, &SessionManager::onTimer);
    if (QCoreApplication *app = QCoreApplication::instance()) {
        // The timer belongs to the main thread's event loop.
        if (thread() != app->thread())
            moveToThread(app->thread());
        connect(app, &QCoreApplication::aboutToQuit, this, &SessionManager::waitForPendingWrites, Qt::DirectConnection);
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
                const qint64 deleted = suite->integerValue(kDeletedSessionsCount).value_or(0) + dropped;
                // The pruned list is stored with the count, so the next start does not count them again.
                const QByteArray kept = encodeSessions(m_recentSessions);
                m_persistenceQueue.async([suite, dropped, kept, deleted] {
                    if (dropped > 0)
                        suite->setBytes(kRecentSessions, kept);
                    suite->setInteger(kDeletedSessionsCount, deleted);
                });
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
}

SessionManager::~SessionManager()
{
    m_persistenceQueue.shutdown();
}

void SessionManager::queueWrite(const QString &key, const QVariant &value)
{
    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    if (!suite)
        return;
    m_persistenceQueue.async([suite, key, value] { suite->setObject(key, value); });
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

void SessionManager::beginSession()
{
    bool newInstall = false;
    QString date;
    {
        std::lock_guard lock(m_mutex);
        setTimerRunningLocked(false);
        m_sessionDurationLastUpdatedAt.reset();
        if (m_recentSessions.isEmpty()) {
            newInstall = true;
            date = ovlin::Days::dayKey(ovlin::Clock::now());
        }
    }
    if (newInstall) {
        queueWrite(kFirstSessionDate, date);
        Analytics::sendInternal(QStringLiteral("Analytics.Acquisition.newInstallDetected"),
                                {{QStringLiteral("Analytics.Acquisition.firstSessionDate"), date}});
    }
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
        m_currentSessionStartedAt = ovlin::Clock::now();
        m_currentSessionDuration = 0;
        m_sessionBegun = true;
        toSave = advanceDurationLocked();
        setTimerRunningLocked(true);
    }
    queueSave(toSave);
    applyTimerState();
}

std::optional<QList<SessionManager::StoredSession>> SessionManager::advanceDurationLocked()
{
    const QDateTime now = ovlin::Clock::now();
    if (m_sessionDurationLastUpdatedAt)
        m_currentSessionDuration += double(m_sessionDurationLastUpdatedAt->msecsTo(now)) / 1000.0;
    m_sessionDurationLastUpdatedAt = now;
    return recordCurrentSessionLocked();
}

std::optional<QList<SessionManager::StoredSession>> SessionManager::recordCurrentSessionLocked()
{
    // Time counted before the first session began belongs to no session.
    if (!m_sessionBegun || m_currentSessionDuration < 1.0)
        return std::nullopt;
    const double clamped = std::min(m_currentSessionDuration, double(std::numeric_limits<qint32>::max()));
    const qint64 seconds = qint64(std::trunc(clamped));
    bool found = false;
    for (qsizetype i = m_recentSessions.size() - 1; i >= 0; --i) {
        if (m_recentSessions[i].startedAt == m_currentSessionStartedAt) {
            m_recentSessions[i].durationInSeconds = seconds;
            found = true;
            break;
        }
    }
    if (!found)
        m_recentSessions.append({m_currentSessionStartedAt, seconds});
    return m_recentSessions;
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
}

void SessionManager::handleDidEnterBackgroundNotification()
{
    std::optional<QList<StoredSession>> toSave;
    {
        std::lock_guard lock(m_mutex);
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
    if (running)
        m_sessionDurationUpdater->start(timerMSecs(Timings::current().sessionTimerInterval));
    else
        m_sessionDurationUpdater->stop();
}

QList<SessionManager::StoredSession> SessionManager::recentSessions() const
{
    std::lock_guard lock(m_mutex);
    return m_recentSessions;
}

qint64 SessionManager::averageSessionSeconds() const
{
    std::lock_guard lock(m_mutex);
    const qsizetype count = m_recentSessions.size();
    if (count == 0)
        return -1;
    if (count == 1)
        return m_recentSessions.first().durationInSeconds;
    qint64 sum = 0;
    for (qsizetype i = 0; i < count - 1; ++i)
        sum += m_recentSessions[i].durationInSeconds;
    return sum / qint64(count - 1);
}

std::optional<qint64> SessionManager::previousSessionSeconds() const
{
    std::lock_guard lock(m_mutex);
    if (m_recentSessions.size() < 2)
        return std::nullopt;
    return m_recentSessions[m_recentSessions.size() - 2].durationInSeconds;
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
        // Beyond what a date or a duration can be: rather no statistics than nonsense.
        if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11 || std::trunc(duration) != duration ||
            std::fabs(duration) > 9e15)
            return std::nullopt;
        sessions.append({QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0)), qint64(duration)});
    }
    return sessions;
}

} // namespace analytics
