#include "Analytics/AnalyticsDefaults.h"

#include "Analytics/AnalyticsManager.h"
#include "Analytics/AnalyticsManagerStorage.h"
#include "Analytics/Hashing.h"

namespace analytics {

QString analyticsSuiteName(const QString &analyticsAppID)
{
    return QLatin1String(kReverseDomainPrefix) + QLatin1Char('.') + sha256Hex(analyticsAppID).right(12);
}

std::shared_ptr<ovlin::Defaults> analyticsDefaults()
{
    const std::shared_ptr<AnalyticsManager> manager = AnalyticsManagerStorage::manager();
    if (!manager)
        return nullptr;
    return ovlin::Defaults::suite(analyticsSuiteName(manager->configuration()->analyticsAppID()));
}

QStringList suiteStringList(const ovlin::Defaults &suite, const QString &key)
{
    return stringListOf(suite.object(key));
}

QStringList stringListOf(const QVariant &value)
{
    if (value.typeId() != QMetaType::QVariantList)
        return {};
    QStringList result;
    for (const QVariant &item : value.toList()) {
        if (item.typeId() != QMetaType::QString)
            return {};
        result.append(item.toString());
    }
    return result;
}

} // namespace analytics
