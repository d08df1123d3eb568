#include "Analytics/AnalyticsError.h"

namespace analytics {

QString AnalyticsError::localizedDescription() const
{
    switch (kind) {
    case Kind::invalidStatusCode: return QStringLiteral("Invalid status code %1").arg(statusCode);
    case Kind::unauthorised: return QStringLiteral("Unauthorized (401)");
    case Kind::forbidden: return QStringLiteral("Forbidden (403)");
    case Kind::payloadTooLarge: return QStringLiteral("Payload is too large (413)");
    case Kind::invalidEndpointUrl: return QStringLiteral("Invalid endpoint URL");
    }
    return QString();
}

QString AnalyticsError::plainRendering() const
{
    switch (kind) {
    case Kind::invalidStatusCode: return QStringLiteral("invalidStatusCode(statusCode: %1)").arg(statusCode);
    case Kind::unauthorised: return QStringLiteral("unauthorised");
    case Kind::forbidden: return QStringLiteral("forbidden");
    case Kind::payloadTooLarge: return QStringLiteral("payloadTooLarge");
    case Kind::invalidEndpointUrl: return QStringLiteral("invalidEndpointUrl");
    }
    return QString();
}

} // namespace analytics
