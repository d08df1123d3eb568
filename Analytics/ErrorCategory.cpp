#include "Analytics/ErrorCategory.h"

namespace analytics {

QString rawValue(ErrorCategory category)
{
    switch (category) {
    case ErrorCategory::thrownException: return QStringLiteral("thrown-exception");
    case ErrorCategory::userInput: return QStringLiteral("user-input");
    case ErrorCategory::appState: return QStringLiteral("app-state");
    }
    return QString();
}

std::optional<ErrorCategory> errorCategoryFromRawValue(const QString &rawValue)
{
    for (ErrorCategory category : {ErrorCategory::thrownException, ErrorCategory::userInput, ErrorCategory::appState}) {
        if (analytics::rawValue(category) == rawValue)
            return category;
    }
    return std::nullopt;
}

} // namespace analytics
