#include "Analytics/LogHandler.h"

namespace analytics {

Q_LOGGING_CATEGORY(lcAnalytics, "analytics")

void LogHandler::log(LogLevel level, const QString &message) const
{
    if (static_cast<int>(level) >= static_cast<int>(logLevel) && handler)
        handler(level, message);
}

LogHandler LogHandler::standard(LogLevel threshold)
{
    LogHandler result;
    result.logLevel = threshold;
    result.handler = [](LogLevel level, const QString &message) {
        switch (level) {
        case LogLevel::debug: qCDebug(lcAnalytics, "%s", qUtf8Printable(message)); break;
        case LogLevel::info: qCInfo(lcAnalytics, "%s", qUtf8Printable(message)); break;
        case LogLevel::error: qCCritical(lcAnalytics, "%s", qUtf8Printable(message)); break;
        }
    };
    return result;
}

QString LogHandler::description(LogLevel level)
{
    switch (level) {
    case LogLevel::debug: return QStringLiteral("DEBUG");
    case LogLevel::info: return QStringLiteral("INFO");
    case LogLevel::error: return QStringLiteral("ERROR");
    }
    return QString();
}

std::optional<LogHandler::LogLevel> LogHandler::levelFromRawValue(int rawValue)
{
    switch (rawValue) {
    case 0: return LogLevel::debug;
    case 1: return LogLevel::info;
    case 2: return LogLevel::error;
    default: return std::nullopt;
    }
}

void logTo(const std::optional<LogHandler> &handler, LogHandler::LogLevel level, const QString &message)
{
    if (handler)
        handler->log(level, message);
}

} // namespace analytics
