#pragma once

#include "Analytics/HttpTransport.h"
#include "Analytics/LogHandler.h"
#include "Analytics/Parameters.h"
#include "Analytics/SignalEnricher.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace analytics {

// The library's own version, reported with every signal.
inline constexpr char kClientVersion[] = "2.12.0";
inline constexpr char kClientName[] = "CppSDK";

// Everything the client is told by its host. One object is shared (std::shared_ptr) by the host and
// the client; a change to a changeable field applies to every later signal. Every field is read and
// written under the object's own lock, so any thread may use it.
class AnalyticsManagerConfiguration
{
public:
    using DefaultParametersFunction = std::function<Parameters()>;

    // baseURL absent: the ingest endpoint compiled in (OVLIN_ANALYTICS_ENDPOINT). An empty base URL
    // (an empty build-time endpoint included) means analytics is off: nothing is posted or cached.
    explicit AnalyticsManagerConfiguration(const QString &appID, const std::optional<QString> &salt = std::nullopt,
                                           const std::optional<QUrl> &baseURL = std::nullopt,
                                           const std::optional<QString> &namespace_ = std::nullopt);
    static std::shared_ptr<AnalyticsManagerConfiguration>
    create(const QString &appID, const std::optional<QString> &salt = std::nullopt,
           const std::optional<QUrl> &baseURL = std::nullopt, const std::optional<QString> &namespace_ = std::nullopt);

    AnalyticsManagerConfiguration(const AnalyticsManagerConfiguration &) = delete;
    AnalyticsManagerConfiguration &operator=(const AnalyticsManagerConfiguration &) = delete;

    // The build-time ingest endpoint (empty when the build has none).
    static QUrl defaultIngestEndpoint();

    // Fixed at creation.
    QString analyticsAppID() const { return m_analyticsAppID; }
    QUrl apiBaseURL() const { return m_apiBaseURL; }
    std::optional<QString> namespace_() const { return m_namespace; }
    QString salt() const { return m_salt; }
    // False when there is no ingest endpoint: the client then composes, caches and posts nothing.
    bool hasEndpoint() const { return !m_apiBaseURL.isEmpty(); }

    std::optional<QString> defaultUser() const;
    void setDefaultUser(const std::optional<QString> &user);

    std::optional<QString> defaultSignalPrefix() const;
    void setDefaultSignalPrefix(const std::optional<QString> &prefix);

    std::optional<QString> defaultParameterPrefix() const;
    void setDefaultParameterPrefix(const std::optional<QString> &prefix);

    DefaultParametersFunction defaultParameters() const;
    void setDefaultParameters(DefaultParametersFunction function);

    bool sendNewSessionBeganSignal() const;
    void setSendNewSessionBeganSignal(bool value);

    QUuid sessionID() const;
    // Stores the identifier and starts a session on the calling thread (also for the same identifier).
    void setSessionID(const QUuid &sessionID);

    bool sessionStatsEnabled() const;
    void setSessionStatsEnabled(bool value);

    // The transport batches are posted through (by default NetworkTransport::shared()).
    std::shared_ptr<HttpTransport> urlSession() const;
    void setUrlSession(std::shared_ptr<HttpTransport> transport);

    bool sendSignalsInDebugConfiguration() const;
    void setSendSignalsInDebugConfiguration(bool value);

    // The explicit value, else false.
    bool testMode() const;
    void setTestMode(bool value);

    // The explicit value, else whether XCODE_RUNNING_FOR_PREVIEWS is "1" (read on every call).
    bool swiftUIPreviewMode() const;
    void setSwiftUIPreviewMode(bool value);

    bool analyticsDisabled() const;
    void setAnalyticsDisabled(bool value);
    // `observer` runs on the changing thread after analyticsDisabled took a new value. The token
    // removes it again.
    quint64 addAnalyticsDisabledObserver(std::function<void()> observer);
    void removeAnalyticsDisabledObserver(quint64 token);

    bool reservedParameterWarningsEnabled() const;
    void setReservedParameterWarningsEnabled(bool value);

    bool showDebugLogs() const;
    void setShowDebugLogs(bool value);

    std::optional<LogHandler> logHandler() const;
    void setLogHandler(const std::optional<LogHandler> &handler);

    QList<std::shared_ptr<SignalEnricher>> metadataEnrichers() const;
    void setMetadataEnrichers(const QList<std::shared_ptr<SignalEnricher>> &enrichers);

    // Logs through the current log handler, if any.
    void log(LogHandler::LogLevel level, const QString &message) const;

private:
    const QString m_analyticsAppID;
    const QUrl m_apiBaseURL;
    const std::optional<QString> m_namespace;
    const QString m_salt;

    mutable std::mutex m_mutex;
    std::optional<QString> m_defaultUser;
    std::optional<QString> m_defaultSignalPrefix;
    std::optional<QString> m_defaultParameterPrefix;
    DefaultParametersFunction m_defaultParameters;
    bool m_sendNewSessionBeganSignal = true;
    QUuid m_sessionID;
    bool m_sessionStatsEnabled = true;
    std::shared_ptr<HttpTransport> m_urlSession;
    bool m_sendSignalsInDebugConfiguration = false;
    std::optional<bool> m_testMode;
    std::optional<bool> m_swiftUIPreviewMode;
    bool m_analyticsDisabled = false;
    bool m_reservedParameterWarningsEnabled = true;
    bool m_showDebugLogs = false;
    std::optional<LogHandler> m_logHandler;
    QList<std::shared_ptr<SignalEnricher>> m_metadataEnrichers;
    std::map<quint64, std::function<void()>> m_analyticsDisabledObservers;
    quint64 m_nextObserverToken = 1;
};

} // namespace analytics
