#pragma once

#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/Parameters.h"

#include <QSet>
#include <QString>

#include <memory>
#include <optional>

namespace analytics {

// The entrance of the analytics client. Nothing here reports a failure to the caller: misuse is
// logged through the configuration's log handler, and undelivered signals stay cached.
class Analytics
{
public:
    // Creates a manager for the configuration and registers it, replacing any registered one.
    static void initializeWith(std::shared_ptr<AnalyticsManagerConfiguration> configuration);

    // Prefixes the name and parameter keys, warns about reserved names, then sends.
    static void send(const QString &signalName, const Parameters &parameters = {},
                     std::optional<double> floatValue = std::nullopt,
                     const std::optional<QString> &customUserID = std::nullopt);
    static void sendChecked(const QString &signalName, const Parameters &parameters, std::optional<double> floatValue,
                            const std::optional<QString> &customUserID);
    // The path of the client's own signals: no prefixes and no warnings about the caller's names.
    static void sendInternal(const QString &signalName, const Parameters &parameters = {},
                             std::optional<double> floatValue = std::nullopt,
                             const std::optional<QString> &customUserID = std::nullopt);

    static void startDurationSignal(const QString &signalName, const Parameters &parameters = {},
                                    bool includeBackgroundTime = false);
    static void cancelDurationSignal(const QString &signalName);
    // Sends the duration under "Analytics.Signal.durationInSeconds"; nothing when not running.
    static void stopAndSendDurationSignal(const QString &signalName, const Parameters &parameters = {},
                                          std::optional<double> floatValue = std::nullopt,
                                          const std::optional<QString> &customUserID = std::nullopt);

    // Sends the cached signals shortly, at most once per minimum interval (10 s).
    static void requestImmediateSync();

    // The 25 reserved names, lower case.
    static const QSet<QString> &reservedKeys();
    static bool isReserved(const QString &nameOrKey);
    // Keys beginning "Analytics." stay; every other key gets the prefix.
    static Parameters applyDefaultParameterPrefix(const Parameters &parameters, const std::optional<QString> &prefix);
    // Seconds cut to whole thousandths, as decimal text: 2.0004 gives "2.0".
    static QString durationText(double seconds);
};

} // namespace analytics
