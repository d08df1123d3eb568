#pragma once

#include "Analytics/SerialQueue.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>

class QTimer;

namespace ovlin {
class Defaults;
}

namespace analytics {

// Usage statistics carried by every signal: recent sessions with their active durations (90 days),
// the count of sessions dropped by that retention, the first session's date and the days of use.
// Kept in the analytics defaults suite; writes go through a serial background queue in order.
// Active time is kept from the instants the application became and stopped being active, so nothing
// wakes up to count it: the list is written when the application loses focus or quits, and at most
// once per save interval while it stays active. An install's first session is written as it begins, so
// the install is on disk at once. Nothing runs before a session has begun.
// The save timer runs on the main thread; everything else may be called from any thread.
class SessionManager : public QObject
{
    Q_OBJECT

public:
    struct StoredSession
    {
        QDateTime startedAt;
        qint64 durationInSeconds = 0;
        bool operator==(const StoredSession &other) const
        {
            return startedAt == other.startedAt && durationInSeconds == other.durationInSeconds;
        }
    };

    static SessionManager &shared();
    // Waits for queued writes and drops the instance, so the next use reads the suite again (tests).
    static void resetSharedForTesting();

    ~SessionManager() override;

    void beginSession();

    QList<StoredSession> recentSessions() const;
    // -1 without sessions; the only one's duration; else the mean of all but the last (truncated).
    qint64 averageSessionSeconds() const;
    // The duration of the second-to-last session, when there are two or more.
    std::optional<qint64> previousSessionSeconds() const;
    // Recent sessions plus the stored count of dropped ones, saturated.
    qint64 totalSessionsCount() const;
    // The stored first session date and days of use. Like the count of dropped sessions, they include
    // writes still queued, so the first signal of a start already sees this start's bookkeeping.
    std::optional<QString> firstSessionDate() const;
    QStringList distinctDaysUsed() const;

    // Adds the active time up to now to the current session and saves the list if it changed.
    void updateSessionDuration();
    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();
    // The application quits: the last active time is saved and every write waits to be stored.
    void applicationWillTerminate();

    // Whether active time is being counted (a session has begun and the application is active).
    bool isDurationTimerRunning() const;
    // Blocks until every queued write is stored.
    void waitForPendingWrites();

    // [{"st": whole seconds since 1970, "dn": whole seconds}, ...]
    static QByteArray encodeSessions(const QList<StoredSession> &sessions);
    // Nothing unless every entry has a numeric "st" and an integer "dn" of 0 to maximumSessionSeconds.
    static std::optional<QList<StoredSession>> decodeSessions(const QByteArray &data);
    // The longest duration stored for one session.
    static constexpr qint64 maximumSessionSeconds = 2147483647;
    // The stored count of dropped sessions, never below 0.
    static qint64 storedDeletedSessionsCount(const ovlin::Defaults &suite);

private:
    SessionManager();

    // Called with m_mutex held; return what to save, if anything.
    std::optional<QList<StoredSession>> advanceDurationLocked();
    // Puts the current session with `duration` into `sessions`; answers whether anything changed.
    bool recordSession(QList<StoredSession> &sessions, double duration) const;
    // The stored list with the current session's active time up to now.
    QList<StoredSession> liveSessionsLocked() const;
    void setTimerRunningLocked(bool running);
    void applyTimerState();
    void onTimer();
    void queueWrite(const QString &key, const QVariant &value);
    void queueWrite(const std::shared_ptr<ovlin::Defaults> &suite, const QString &key, const QVariant &value);
    // The suite's value under `key`, or the one queued for it and not stored yet.
    QVariant suiteObject(const QString &key) const;
    void queueSave(const std::optional<QList<StoredSession>> &sessions);

    mutable std::mutex m_mutex;
    QList<StoredSession> m_recentSessions;
    QDateTime m_currentSessionStartedAt;
    bool m_sessionBegun = false;
    double m_currentSessionDuration = 0;
    std::optional<QDateTime> m_sessionDurationLastUpdatedAt;
    bool m_timerRunning = false;
    // As last reported by the host (ApplicationEvents); a session begun while inactive counts nothing.
    bool m_applicationActive = true;

    struct PendingWrite
    {
        std::shared_ptr<ovlin::Defaults> suite;
        quint64 number = 0;
        QVariant value;
    };
    mutable std::mutex m_pendingMutex;
    QHash<QString, PendingWrite> m_pendingWrites;
    quint64 m_writesQueued = 0;

    QTimer *m_sessionDurationUpdater = nullptr; // main thread only
    SerialQueue m_persistenceQueue;
};

} // namespace analytics
