#pragma once

#include <QLoggingCategory>
#include <QString>

#include <functional>
#include <optional>

namespace analytics {

Q_DECLARE_LOGGING_CATEGORY(lcAnalytics)

// The client's diagnostic sink: a threshold and an output function. Copies share the function.
struct LogHandler
{
    enum class LogLevel { debug = 0, info = 1, error = 2 };
    using Output = std::function<void(LogLevel, const QString &)>;

    LogLevel logLevel = LogLevel::info;
    Output handler;

    // Passes the message on when its level is at or above the threshold.
    void log(LogLevel level, const QString &message) const;

    // The threshold with the standard output: the "analytics" logging category.
    static LogHandler standard(LogLevel threshold);

    // "DEBUG", "INFO", "ERROR".
    static QString description(LogLevel level);
    // 0, 1 and 2 map to the levels; any other value to nothing.
    static std::optional<LogLevel> levelFromRawValue(int rawValue);
};

// Logs through an optional handler: nothing happens when there is none.
void logTo(const std::optional<LogHandler> &handler, LogHandler::LogLevel level, const QString &message);

} // namespace analytics
