#pragma once

#include <QString>

#include <optional>

namespace analytics {

// What kind of failure an error signal reports, stored by its text.
enum class ErrorCategory { thrownException, userInput, appState };

// "thrown-exception", "user-input", "app-state".
QString rawValue(ErrorCategory category);
// Any other text gives nothing.
std::optional<ErrorCategory> errorCategoryFromRawValue(const QString &rawValue);

} // namespace analytics
