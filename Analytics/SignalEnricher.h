#pragma once

#include "Analytics/Parameters.h"

#include <optional>

namespace analytics {

// Adds payload entries to every signal. Called on the client's worker thread.
class SignalEnricher
{
public:
    virtual ~SignalEnricher() = default;
    virtual Parameters enrich(const QString &signalType, const std::optional<QString> &customUserID,
                              std::optional<double> floatValue) = 0;
};

} // namespace analytics
