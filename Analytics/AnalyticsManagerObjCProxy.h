#pragma once

#include "Analytics/AnalyticsManagerConfigurationObjCProxy.h"
#include "Analytics/Parameters.h"

#include <QString>

#include <optional>

namespace analytics {

// Class-level forms of the facade for hosts that only pass plain values.
class AnalyticsManagerObjCProxy
{
public:
    static void initializeWith(const AnalyticsManagerConfigurationObjCProxy &configuration);
    static void terminate();
    // Checked sends with no value; an absent user means the default user.
    static void send(const QString &signalName, const std::optional<QString> &customUserID,
                     const Parameters &parameters);
    static void send(const QString &signalName, const Parameters &parameters);
    static void send(const QString &signalName);
    // An absent user clears the default user.
    static void updateDefaultUserTo(const std::optional<QString> &user);
    static void generateNewSession();
};

} // namespace analytics
