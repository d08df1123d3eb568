#include "Analytics/AnalyticsManagerObjCProxy.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManager.h"

namespace analytics {

void AnalyticsManagerObjCProxy::initializeWith(const AnalyticsManagerConfigurationObjCProxy &configuration)
{
    Analytics::initializeWith(configuration.analyticsConfiguration());
}

void AnalyticsManagerObjCProxy::terminate()
{
    AnalyticsManager::terminate();
}

void AnalyticsManagerObjCProxy::send(const QString &signalName, const std::optional<QString> &customUserID,
                                     const Parameters &parameters)
{
    Analytics::send(signalName, parameters, std::nullopt, customUserID);
}

void AnalyticsManagerObjCProxy::send(const QString &signalName, const Parameters &parameters)
{
    Analytics::send(signalName, parameters, std::nullopt, std::nullopt);
}

void AnalyticsManagerObjCProxy::send(const QString &signalName)
{
    Analytics::send(signalName, Parameters(), std::nullopt, std::nullopt);
}

void AnalyticsManagerObjCProxy::updateDefaultUserTo(const std::optional<QString> &user)
{
    AnalyticsManager::updateDefaultUserTo(user);
}

void AnalyticsManagerObjCProxy::generateNewSession()
{
    AnalyticsManager::generateNewSession();
}

} // namespace analytics
