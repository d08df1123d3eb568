#include "Analytics/AnalyticsManagerConfiguration.h"

#include "Analytics/Analytics.h"
#include "Analytics/NetworkTransport.h"
#include "Analytics/SessionManager.h"

#include <QtGlobal>

#include <vector>

#ifndef OVLIN_ANALYTICS_ENDPOINT
#define OVLIN_ANALYTICS_ENDPOINT ""
#endif

namespace analytics {

QUrl AnalyticsManagerConfiguration::defaultIngestEndpoint()
{
    return QUrl(QStringLiteral(OVLIN_ANALYTICS_ENDPOINT));
}

AnalyticsManagerConfiguration::AnalyticsManagerConfiguration(const QString &appID, const std::optional<QString> &salt,
                                                             const std::optional<QUrl> &baseURL,
                                                             const std::optional<QString> &namespace_)
    : m_analyticsAppID(appID), m_apiBaseURL(baseURL ? *baseURL : defaultIngestEndpoint()), m_namespace(namespace_),
      m_salt(salt.value_or(QString())), m_defaultParameters([] { return Parameters(); }),
      m_sessionID(QUuid::createUuid()), m_logHandler(LogHandler::standard(LogHandler::LogLevel::info))
{
}

std::shared_ptr<AnalyticsManagerConfiguration>
AnalyticsManagerConfiguration::create(const QString &appID, const std::optional<QString> &salt,
                                      const std::optional<QUrl> &baseURL, const std::optional<QString> &namespace_)
{
    return std::make_shared<AnalyticsManagerConfiguration>(appID, salt, baseURL, namespace_);
}

#define OVLIN_LOCKED_GET(type, name, member)                                                                           \
    type AnalyticsManagerConfiguration::name() const                                                                   \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        return member;                                                                                                 \
    }
#define OVLIN_LOCKED_SET(type, name, member)                                                                           \
    void AnalyticsManagerConfiguration::name(type value)                                                               \
    {                                                                                                                  \
        std::lock_guard lock(m_mutex);                                                                                 \
        member = value;                                                                                                \
    }

OVLIN_LOCKED_GET(std::optional<QString>, defaultUser, m_defaultUser)
OVLIN_LOCKED_SET(const std::optional<QString> &, setDefaultUser, m_defaultUser)
OVLIN_LOCKED_GET(std::optional<QString>, defaultSignalPrefix, m_defaultSignalPrefix)
OVLIN_LOCKED_SET(const std::optional<QString> &, setDefaultSignalPrefix, m_defaultSignalPrefix)
OVLIN_LOCKED_GET(std::optional<QString>, defaultParameterPrefix, m_defaultParameterPrefix)
OVLIN_LOCKED_SET(const std::optional<QString> &, setDefaultParameterPrefix, m_defaultParameterPrefix)
OVLIN_LOCKED_GET(AnalyticsManagerConfiguration::DefaultParametersFunction, defaultParameters, m_defaultParameters)
OVLIN_LOCKED_GET(bool, sendNewSessionBeganSignal, m_sendNewSessionBeganSignal)
OVLIN_LOCKED_SET(bool, setSendNewSessionBeganSignal, m_sendNewSessionBeganSignal)
OVLIN_LOCKED_GET(QUuid, sessionID, m_sessionID)
OVLIN_LOCKED_GET(bool, sessionStatsEnabled, m_sessionStatsEnabled)
OVLIN_LOCKED_SET(bool, setSessionStatsEnabled, m_sessionStatsEnabled)
OVLIN_LOCKED_GET(bool, sendSignalsInDebugConfiguration, m_sendSignalsInDebugConfiguration)
OVLIN_LOCKED_SET(bool, setSendSignalsInDebugConfiguration, m_sendSignalsInDebugConfiguration)
OVLIN_LOCKED_GET(bool, analyticsDisabled, m_analyticsDisabled)
OVLIN_LOCKED_GET(bool, reservedParameterWarningsEnabled, m_reservedParameterWarningsEnabled)
OVLIN_LOCKED_SET(bool, setReservedParameterWarningsEnabled, m_reservedParameterWarningsEnabled)
OVLIN_LOCKED_GET(bool, showDebugLogs, m_showDebugLogs)
OVLIN_LOCKED_SET(bool, setShowDebugLogs, m_showDebugLogs)
OVLIN_LOCKED_GET(std::optional<LogHandler>, logHandler, m_logHandler)
OVLIN_LOCKED_SET(const std::optional<LogHandler> &, setLogHandler, m_logHandler)
OVLIN_LOCKED_GET(QList<std::shared_ptr<SignalEnricher>>, metadataEnrichers, m_metadataEnrichers)
OVLIN_LOCKED_SET(const QList<std::shared_ptr<SignalEnricher>> &, setMetadataEnrichers, m_metadataEnrichers)

#undef OVLIN_LOCKED_GET
#undef OVLIN_LOCKED_SET

void AnalyticsManagerConfiguration::setDefaultParameters(DefaultParametersFunction function)
{
    std::lock_guard lock(m_mutex);
    m_defaultParameters = function ? std::move(function) : [] { return Parameters(); };
}

void AnalyticsManagerConfiguration::setAnalyticsDisabled(bool value)
{
    std::vector<std::function<void()>> observers;
    {
        std::lock_guard lock(m_mutex);
        if (m_analyticsDisabled == value)
            return;
        m_analyticsDisabled = value;
        for (const auto &entry : m_analyticsDisabledObservers)
            observers.push_back(entry.second);
    }
    for (const auto &observer : observers)
        observer();
}

quint64 AnalyticsManagerConfiguration::addAnalyticsDisabledObserver(std::function<void()> observer)
{
    std::lock_guard lock(m_mutex);
    const quint64 token = m_nextObserverToken++;
    m_analyticsDisabledObservers.emplace(token, std::move(observer));
    return token;
}

void AnalyticsManagerConfiguration::removeAnalyticsDisabledObserver(quint64 token)
{
    std::lock_guard lock(m_mutex);
    m_analyticsDisabledObservers.erase(token);
}

void AnalyticsManagerConfiguration::setSessionID(const QUuid &sessionID)
{
    {
        std::lock_guard lock(m_mutex);
        m_sessionID = sessionID;
    }
    // Switched off, sessions are still counted (the statistics stay local until signals go out
    // again). Without an endpoint nothing is ever sent, so nothing is measured either.
    if (sessionStatsEnabled() && hasEndpoint())
        SessionManager::shared().beginSession();
    if (sendNewSessionBeganSignal())
        Analytics::sendInternal(QStringLiteral("Analytics.Session.started"));
}

std::shared_ptr<HttpTransport> AnalyticsManagerConfiguration::urlSession() const
{
    {
        std::lock_guard lock(m_mutex);
        if (m_urlSession)
            return m_urlSession;
    }
    return NetworkTransport::shared();
}

void AnalyticsManagerConfiguration::setUrlSession(std::shared_ptr<HttpTransport> transport)
{
    std::lock_guard lock(m_mutex);
    m_urlSession = std::move(transport);
}

bool AnalyticsManagerConfiguration::testMode() const
{
    std::lock_guard lock(m_mutex);
    return m_testMode.value_or(false);
}

void AnalyticsManagerConfiguration::setTestMode(bool value)
{
    std::lock_guard lock(m_mutex);
    m_testMode = value;
}

bool AnalyticsManagerConfiguration::swiftUIPreviewMode() const
{
    {
        std::lock_guard lock(m_mutex);
        if (m_swiftUIPreviewMode)
            return *m_swiftUIPreviewMode;
    }
    return qgetenv("XCODE_RUNNING_FOR_PREVIEWS") == "1";
}

void AnalyticsManagerConfiguration::setSwiftUIPreviewMode(bool value)
{
    std::lock_guard lock(m_mutex);
    m_swiftUIPreviewMode = value;
}

void AnalyticsManagerConfiguration::log(LogHandler::LogLevel level, const QString &message) const
{
    logTo(logHandler(), level, message);
}

} // namespace analytics
