#pragma once

#include "Analytics/Parameters.h"

#include <QDateTime>
#include <QHash>

#include <mutex>
#include <optional>
#include <utility>

namespace analytics {

// Measures named spans of time for duration signals. Time spent inactive is left out unless a
// duration asks for it. Safe from any thread.
class DurationSignalTracker
{
public:
    struct CachedData
    {
        QDateTime startTime;
        Parameters parameters;
        bool includeBackgroundTime = false;
    };

    static DurationSignalTracker &shared();

    // Starts (or restarts) the named duration.
    void startTracking(const QString &signalName, const Parameters &parameters, bool includeBackgroundTime);
    // Ends the named duration: seconds since its start and its parameters; nothing when not running.
    std::optional<std::pair<double, Parameters>> stopTracking(const QString &signalName);

    void handleDidEnterBackgroundNotification();
    void handleWillEnterForegroundNotification();

    // Forgets every duration and the background moment (tests).
    void resetForTesting();

private:
    DurationSignalTracker();

    std::mutex m_mutex;
    QHash<QString, CachedData> m_startedSignals;
    std::optional<QDateTime> m_lastEnteredBackground;
};

} // namespace analytics
