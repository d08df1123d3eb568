#pragma once

#include "Analytics/AnalyticsError.h"
#include "Analytics/HttpTransport.h"
#include "Analytics/SignalManageable.h"

#include <QMetaObject>
#include <QUrl>

#include <memory>
#include <optional>

namespace analytics {

class SignalCache;

// Turns signals into records, caches them and posts them in batches of at most 100 every send
// interval (10 s) to the ingest endpoint. Records that do not arrive go back into the cache.
// Without an endpoint, or in a design preview, it composes, caches and posts nothing. While analytics
// is switched off it posts nothing and its timer stops; cached records wait for it to be switched on.
class SignalManager final : public SignalManageable
{
public:
    explicit SignalManager(std::shared_ptr<AnalyticsManagerConfiguration> configuration);
    ~SignalManager() override;

    SignalManager(const SignalManager &) = delete;
    SignalManager &operator=(const SignalManager &) = delete;

    void processSignal(const QString &signalType, const Parameters &parameters, std::optional<double> floatValue,
                       const std::optional<QString> &customUserID,
                       const std::shared_ptr<AnalyticsManagerConfiguration> &configuration) override;
    void processSignalOnce(const QString &signalType, const Parameters &parameters, const Parameters &identity,
                           const std::shared_ptr<AnalyticsManagerConfiguration> &configuration,
                           const std::function<void()> &stored) override;
    void sendCachedSignals() override;
    QString defaultUserIdentifier() const override;

    // Writes the cache file now; runs when the application is about to quit.
    void appWillTerminate();

    // The cache, or nothing when the manager is inactive.
    std::shared_ptr<SignalCache> signalCache() const;
    // Whether batches go out on the send interval (not while switched off or inactive).
    bool isSendTimerRunning() const;

    // The base URL with "/" as needed, then "v2/" or "v2/namespace/<namespace>/"; nothing when invalid.
    static std::optional<QUrl> signalAPIURL(const QUrl &baseURL, const std::optional<QString> &namespace_);
    // No error for 2xx; a missing or non-HTTP response is invalidStatusCode 0.
    static std::optional<AnalyticsError> statusError(const std::optional<HttpResponse> &response);
    // The user identifier for signals without their own, under a configuration.
    static QString defaultUserIdentifier(const AnalyticsManagerConfiguration &configuration);

private:
    struct Core;
    std::shared_ptr<Core> m_core;
    QMetaObject::Connection m_terminationConnection;
};

} // namespace analytics
