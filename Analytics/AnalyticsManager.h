#pragma once

#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/Parameters.h"
#include "Analytics/SignalManageable.h"

#include <QDateTime>

#include <memory>
#include <mutex>
#include <optional>

namespace analytics {

// The one registered manager: owns the signal manager and shares the host's configuration.
// The static forms act on the registered manager and do nothing (logging an error) before
// initialisation.
class AnalyticsManager
{
public:
    explicit AnalyticsManager(std::shared_ptr<AnalyticsManagerConfiguration> configuration);
    ~AnalyticsManager();

    AnalyticsManager(const AnalyticsManager &) = delete;
    AnalyticsManager &operator=(const AnalyticsManager &) = delete;

    // The registered manager. Before initialisation it is nothing and an error is logged; in a
    // design preview a placeholder manager is registered instead.
    static std::shared_ptr<AnalyticsManager> sharedManager();
    static bool isInitialized();
    static void initialize(std::shared_ptr<AnalyticsManagerConfiguration> configuration);
    // Forgets the registered manager; sends and writes nothing by itself.
    static void terminate();
    static void updateDefaultUserTo(const std::optional<QString> &user);
    static void generateNewSession();
    static void send(const QString &signalName, const Parameters &parameters = {});
    static void send(const QString &signalName, const std::optional<QString> &customUserID,
                     std::optional<double> floatValue, const Parameters &parameters);
    static void requestImmediateSync();

    std::shared_ptr<AnalyticsManagerConfiguration> configuration() const;
    std::shared_ptr<SignalManageable> signalManager() const;
    QString hashedDefaultUser() const;

    // A new session starts when the application returns after more than the background time-out.
    void willEnterForeground();
    void didEnterBackground();

    // Grants an immediate sync when more than the minimum interval passed since the last granted one.
    bool grantImmediateSync(const QDateTime &now);

private:
    std::shared_ptr<SignalManageable> m_signalManager;

    mutable std::mutex m_mutex;
    std::shared_ptr<AnalyticsManagerConfiguration> m_configuration;
    QDateTime m_lastTimeImmediateSyncRequested;
    QDateTime m_lastDateAppEnteredBackground;
};

} // namespace analytics
