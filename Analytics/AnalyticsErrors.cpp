#include "Analytics/Analytics.h"

#include "Analytics/ErrorCategory.h"
#include "Analytics/IdentifiableError.h"

namespace analytics {

void Analytics::sendErrorOccurred(const QString &id, ErrorCategory category, const std::optional<QString> &message,
                                  const Parameters &parameters, std::optional<double> floatValue,
                                  const std::optional<QString> &customUserID)
{
    Parameters own{
        {QStringLiteral("Analytics.Error.id"), id},
        {QStringLiteral("Analytics.Error.category"), rawValue(category)},
    };
    // An empty message is still a message; only an absent one leaves the key out.
    if (message)
        own.insert(QStringLiteral("Analytics.Error.message"), *message);
    sendInternal(QStringLiteral("Analytics.Error.occurred"), mergeParameters(parameters, own), floatValue,
                 customUserID);
}

void Analytics::sendErrorOccurred(const IdentifiableError &error, ErrorCategory category, const Parameters &parameters,
                                  std::optional<double> floatValue, const std::optional<QString> &customUserID)
{
    sendErrorOccurred(error.id(), category, localizedDescription(error), parameters, floatValue, customUserID);
}

void Analytics::sendErrorOccurred(const IdentifiableError &error, ErrorCategory category,
                                  const std::optional<QString> &message, const Parameters &parameters,
                                  std::optional<double> floatValue, const std::optional<QString> &customUserID)
{
    sendErrorOccurred(error.id(), category, message, parameters, floatValue, customUserID);
}

} // namespace analytics
