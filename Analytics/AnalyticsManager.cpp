#include "Analytics/AnalyticsManager.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManagerStorage.h"
#include "Analytics/Dispatch.h"
#include "Analytics/Hashing.h"
#include "Analytics/SignalManager.h"
#include "Analytics/Timings.h"

#include "Base/Clock.h"

#include <QCoreApplication>

namespace analytics {

namespace {

QDateTime distantPast()
{
    return QDateTime(QDate(1, 1, 1), QTime(0, 0), Qt::UTC);
}

bool isDesignPreview()
{
    return qgetenv("XCODE_RUNNING_FOR_PREVIEWS") == "1";
}

void registerExitRoutine()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // Managers go with the application object, not in static destruction: the last cache write
        // and the worker threads' ends then happen while Qt is still there.
        qAddPostRoutine([] { AnalyticsManagerStorage::exchange(nullptr); });
    });
}

} // namespace

AnalyticsManager::AnalyticsManager(std::shared_ptr<AnalyticsManagerConfiguration> configuration)
    : m_configuration(std::move(configuration)), m_lastTimeImmediateSyncRequested(distantPast()),
      m_lastDateAppEnteredBackground(distantPast())
{
    m_signalManager = std::make_shared<SignalManager>(m_configuration);
    // The first session starts shortly after launch, on the main thread, for whichever manager is
    // registered by then.
    runOnMainThreadAfter(Timings::current().firstSessionDelay, [] {
        if (const auto manager = sharedManager())
            manager->configuration()->setSessionID(QUuid::createUuid());
    });
}

AnalyticsManager::~AnalyticsManager() = default;

std::shared_ptr<AnalyticsManager> AnalyticsManager::sharedManager()
{
    if (auto manager = AnalyticsManagerStorage::manager())
        return manager;
    if (isDesignPreview()) {
        auto placeholder = std::make_shared<AnalyticsManager>(AnalyticsManagerConfiguration::create(QString()));
        AnalyticsManagerStorage::exchange(placeholder);
        return AnalyticsManagerStorage::manager();
    }
    // A throwaway manager here would open the cache of the real one; there is nothing to act on.
    LogHandler::standard(LogHandler::LogLevel::info)
        .log(
            LogHandler::LogLevel::error,
            QStringLiteral("Analytics is not initialized: call Analytics::initializeWith first. The call is ignored."));
    return nullptr;
}

bool AnalyticsManager::isInitialized()
{
    return AnalyticsManagerStorage::manager() != nullptr;
}

void AnalyticsManager::initialize(std::shared_ptr<AnalyticsManagerConfiguration> configuration)
{
    if (!configuration)
        return;
    registerExitRoutine();
    auto manager = std::make_shared<AnalyticsManager>(std::move(configuration));
    // The replaced manager is released here, outside the storage's lock.
    AnalyticsManagerStorage::exchange(std::move(manager));
}

void AnalyticsManager::terminate()
{
    AnalyticsManagerStorage::exchange(nullptr);
}

void AnalyticsManager::updateDefaultUserTo(const std::optional<QString> &user)
{
    if (const auto manager = sharedManager())
        manager->configuration()->setDefaultUser(user);
}

void AnalyticsManager::generateNewSession()
{
    if (const auto manager = sharedManager())
        manager->configuration()->setSessionID(QUuid::createUuid());
}

void AnalyticsManager::send(const QString &signalName, const Parameters &parameters)
{
    Analytics::sendChecked(signalName, parameters, std::nullopt, std::nullopt);
}

void AnalyticsManager::send(const QString &signalName, const std::optional<QString> &customUserID,
                            std::optional<double> floatValue, const Parameters &parameters)
{
    Analytics::sendChecked(signalName, parameters, floatValue, customUserID);
}

void AnalyticsManager::requestImmediateSync()
{
    Analytics::requestImmediateSync();
}

std::shared_ptr<AnalyticsManagerConfiguration> AnalyticsManager::configuration() const
{
    std::lock_guard lock(m_mutex);
    return m_configuration;
}

std::shared_ptr<SignalManageable> AnalyticsManager::signalManager() const
{
    return m_signalManager;
}

QString AnalyticsManager::hashedDefaultUser() const
{
    return sha256Hex(m_signalManager->defaultUserIdentifier(), configuration()->salt());
}

void AnalyticsManager::didEnterBackground()
{
    std::lock_guard lock(m_mutex);
    m_lastDateAppEnteredBackground = ovlin::Clock::now();
}

void AnalyticsManager::willEnterForeground()
{
    QDateTime background;
    {
        std::lock_guard lock(m_mutex);
        background = m_lastDateAppEnteredBackground;
    }
    const qint64 timeout = Timings::current().backgroundSessionTimeout.count();
    if (background.addSecs(timeout) < ovlin::Clock::now()) {
        if (const auto registered = AnalyticsManagerStorage::manager())
            registered->configuration()->setSessionID(QUuid::createUuid());
    }
}

bool AnalyticsManager::grantImmediateSync(const QDateTime &now)
{
    std::lock_guard lock(m_mutex);
    const qint64 minimum = Timings::current().immediateSyncMinimumInterval.count();
    if (m_lastTimeImmediateSyncRequested.msecsTo(now) <= minimum)
        return false;
    m_lastTimeImmediateSyncRequested = now;
    return true;
}

} // namespace analytics
