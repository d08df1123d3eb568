#include "Analytics/AnalyticsManagerConfigurationObjCProxy.h"

namespace analytics {

AnalyticsManagerConfigurationObjCProxy::AnalyticsManagerConfigurationObjCProxy(const QString &appID,
                                                                               const std::optional<QString> &salt,
                                                                               const std::optional<QUrl> &baseURL)
    : m_analyticsConfiguration(AnalyticsManagerConfiguration::create(appID, salt, baseURL, std::nullopt))
{
}

AnalyticsManagerConfigurationObjCProxy::AnalyticsManagerConfigurationObjCProxy(const QString &appID,
                                                                               const QUrl &baseURL)
    : AnalyticsManagerConfigurationObjCProxy(appID, std::nullopt, baseURL)
{
}

AnalyticsManagerConfigurationObjCProxy::AnalyticsManagerConfigurationObjCProxy(const QString &appID,
                                                                               const QString &salt)
    : AnalyticsManagerConfigurationObjCProxy(appID, salt, std::nullopt)
{
}

AnalyticsManagerConfigurationObjCProxy::AnalyticsManagerConfigurationObjCProxy(const QString &appID)
    : AnalyticsManagerConfigurationObjCProxy(appID, std::nullopt, std::nullopt)
{
}

bool AnalyticsManagerConfigurationObjCProxy::sendNewSessionBeganSignal() const
{
    return m_analyticsConfiguration->sendNewSessionBeganSignal();
}

void AnalyticsManagerConfigurationObjCProxy::setSendNewSessionBeganSignal(bool value)
{
    m_analyticsConfiguration->setSendNewSessionBeganSignal(value);
}

bool AnalyticsManagerConfigurationObjCProxy::testMode() const
{
    return m_analyticsConfiguration->testMode();
}

void AnalyticsManagerConfigurationObjCProxy::setTestMode(bool value)
{
    m_analyticsConfiguration->setTestMode(value);
}

bool AnalyticsManagerConfigurationObjCProxy::analyticsDisabled() const
{
    return m_analyticsConfiguration->analyticsDisabled();
}

void AnalyticsManagerConfigurationObjCProxy::setAnalyticsDisabled(bool value)
{
    m_analyticsConfiguration->setAnalyticsDisabled(value);
}

} // namespace analytics
