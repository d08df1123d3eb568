#pragma once

#include "Analytics/Parameters.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace analytics {

class AnalyticsManagerConfiguration;

// What the manager needs of its signal engine.
class SignalManageable
{
public:
    virtual ~SignalManageable() = default;
    // Accepts one signal and returns at once; the record is built and cached in the background.
    virtual void processSignal(const QString &signalType, const Parameters &parameters,
                               std::optional<double> floatValue, const std::optional<QString> &customUserID,
                               const std::shared_ptr<AnalyticsManagerConfiguration> &configuration) = 0;
    // The same for a signal that must be recorded once: it is not cached again while a record of the
    // same type whose payload holds `identity` is held, and `stored` runs once the cache file holds the
    // record (at once when nothing is cached), before any later write of the file; when the file cannot
    // be written, once a batch holding the record is delivered.
    virtual void processSignalOnce(const QString &signalType, const Parameters &parameters, const Parameters &identity,
                                   const std::shared_ptr<AnalyticsManagerConfiguration> &configuration,
                                   const std::function<void()> &stored) = 0;
    // Sends one batch now.
    virtual void sendCachedSignals() = 0;
    virtual QString defaultUserIdentifier() const = 0;
};

} // namespace analytics
