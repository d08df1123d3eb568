#pragma once

#include "Analytics/AnalyticsManagerConfiguration.h"

#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

namespace analytics {

// The configuration for hosts that only pass plain values: it wraps one AnalyticsManagerConfiguration
// (no namespace) and shares it with the client once initialised, so later changes here apply there.
class AnalyticsManagerConfigurationObjCProxy
{
public:
    AnalyticsManagerConfigurationObjCProxy(const QString &appID, const std::optional<QString> &salt,
                                           const std::optional<QUrl> &baseURL);
    AnalyticsManagerConfigurationObjCProxy(const QString &appID, const QUrl &baseURL);
    AnalyticsManagerConfigurationObjCProxy(const QString &appID, const QString &salt);
    explicit AnalyticsManagerConfigurationObjCProxy(const QString &appID);

    std::shared_ptr<AnalyticsManagerConfiguration> analyticsConfiguration() const { return m_analyticsConfiguration; }

    bool sendNewSessionBeganSignal() const;
    void setSendNewSessionBeganSignal(bool value);
    bool testMode() const;
    void setTestMode(bool value);
    bool analyticsDisabled() const;
    void setAnalyticsDisabled(bool value);

private:
    std::shared_ptr<AnalyticsManagerConfiguration> m_analyticsConfiguration;
};

} // namespace analytics
