#include "Analytics/DurationSignalTracker.h"

#include "Analytics/ApplicationEvents.h"

#include "Base/Clock.h"

namespace analytics {

DurationSignalTracker &DurationSignalTracker::shared()
{
    static auto *tracker = new DurationSignalTracker;
    return *tracker;
}

DurationSignalTracker::DurationSignalTracker()
{
    ApplicationEvents *events = ApplicationEvents::instance();
    QObject::connect(
        events, &ApplicationEvents::didResignActive, events, [this] { handleDidEnterBackgroundNotification(); },
        Qt::DirectConnection);
    QObject::connect(
        events, &ApplicationEvents::willBecomeActive, events, [this] { handleWillEnterForegroundNotification(); },
        Qt::DirectConnection);
}

void DurationSignalTracker::startTracking(const QString &signalName, const Parameters &parameters,
                                          bool includeBackgroundTime)
{
    std::lock_guard lock(m_mutex);
    m_startedSignals.insert(signalName, {ovlin::Clock::now(), parameters, includeBackgroundTime});
}

std::optional<std::pair<double, Parameters>> DurationSignalTracker::stopTracking(const QString &signalName)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_startedSignals.constFind(signalName);
    if (it == m_startedSignals.cend())
        return std::nullopt;
    const CachedData data = it.value();
    m_startedSignals.erase(it);
    return std::make_pair(double(data.startTime.msecsTo(ovlin::Clock::now())) / 1000.0, data.parameters);
}

void DurationSignalTracker::handleDidEnterBackgroundNotification()
{
    std::lock_guard lock(m_mutex);
    m_lastEnteredBackground = ovlin::Clock::now();
}

void DurationSignalTracker::handleWillEnterForegroundNotification()
{
    std::lock_guard lock(m_mutex);
    if (!m_lastEnteredBackground)
        return;
    const qint64 gapMSecs = m_lastEnteredBackground->msecsTo(ovlin::Clock::now());
    for (auto it = m_startedSignals.begin(); it != m_startedSignals.end(); ++it) {
        if (!it->includeBackgroundTime)
            it->startTime = it->startTime.addMSecs(gapMSecs);
    }
    m_lastEnteredBackground.reset();
}

void DurationSignalTracker::resetForTesting()
{
    std::lock_guard lock(m_mutex);
    m_startedSignals.clear();
    m_lastEnteredBackground.reset();
}

} // namespace analytics
