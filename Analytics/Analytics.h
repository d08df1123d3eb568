#pragma once

#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/Parameters.h"

#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace analytics {

class IdentifiableError;
enum class ErrorCategory;
struct Transaction;

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

    // The same for a signal to be recorded once (the install report): `stored` runs once it is on disk
    // in the cache (or, when the cache file cannot be written, once it is delivered), or at once when
    // the signal is dropped (no client, switched off, no endpoint).
    static void sendInternalOnce(const QString &signalName, const Parameters &parameters,
                                 const std::function<void()> &stored);

    static void startDurationSignal(const QString &signalName, const Parameters &parameters = {},
                                    bool includeBackgroundTime = false);
    static void cancelDurationSignal(const QString &signalName);
    // Sends the duration under "Analytics.Signal.durationInSeconds"; nothing when not running.
    static void stopAndSendDurationSignal(const QString &signalName, const Parameters &parameters = {},
                                          std::optional<double> floatValue = std::nullopt,
                                          const std::optional<QString> &customUserID = std::nullopt);

    // Sends the cached signals shortly, at most once per minimum interval (10 s).
    static void requestImmediateSync();

    // "Analytics.Navigation.pathChanged" from the source to the destination; the destination becomes
    // the previous path. The custom user is not defaulted here, so a call with two texts is always
    // the destination-only form below.
    static void sendNavigationPathChanged(const QString &source, const QString &destination,
                                          const std::optional<QString> &customUserID);
    // From the previous path (empty at first) to the destination.
    static void sendNavigationPathChanged(const QString &destination,
                                          const std::optional<QString> &customUserID = std::nullopt);

    // Ready-made product signals. The caller's parameters win over the preset's own on a shared key.
    static void sendUserAcquired(const QString &channel, const Parameters &parameters = {},
                                 const std::optional<QString> &customUserID = std::nullopt);
    static void sendLeadStarted(const QString &leadID, const Parameters &parameters = {},
                                const std::optional<QString> &customUserID = std::nullopt);
    static void sendLeadConverted(const QString &leadID, const Parameters &parameters = {},
                                  const std::optional<QString> &customUserID = std::nullopt);
    static void sendOnboardingCompleted(const Parameters &parameters = {},
                                        const std::optional<QString> &customUserID = std::nullopt);
    static void sendCoreFeatureUsed(const QString &featureName, const Parameters &parameters = {},
                                    const std::optional<QString> &customUserID = std::nullopt);
    static void sendReferralSent(qint64 receiversCount, const std::optional<QString> &kind = std::nullopt,
                                 const Parameters &parameters = {},
                                 const std::optional<QString> &customUserID = std::nullopt);
    // Only ratings from 0 to 10 are sent; any other is logged as an error and dropped.
    static void sendUserRatingSubmitted(qint64 rating, const std::optional<QString> &comment = std::nullopt,
                                        const Parameters &parameters = {},
                                        const std::optional<QString> &customUserID = std::nullopt);
    static void sendPaywallShown(const QString &reason, const Parameters &parameters = {},
                                 const std::optional<QString> &customUserID = std::nullopt);

    // "Analytics.Error.occurred" with the identifier, the category and the message when one is given
    // (an empty one too).
    static void sendErrorOccurred(const QString &id, ErrorCategory category,
                                  const std::optional<QString> &message = std::nullopt,
                                  const Parameters &parameters = {}, std::optional<double> floatValue = std::nullopt,
                                  const std::optional<QString> &customUserID = std::nullopt);
    // The error's identifier, with its description as any error is reported (see localizedDescription()).
    static void sendErrorOccurred(const IdentifiableError &error, ErrorCategory category,
                                  const Parameters &parameters = {}, std::optional<double> floatValue = std::nullopt,
                                  const std::optional<QString> &customUserID = std::nullopt);
    // The error's identifier with the given message, if any.
    static void sendErrorOccurred(const IdentifiableError &error, ErrorCategory category,
                                  const std::optional<QString> &message, const Parameters &parameters = {},
                                  std::optional<double> floatValue = std::nullopt,
                                  const std::optional<QString> &customUserID = std::nullopt);

    // "Analytics.Purchase.freeTrialStarted" for an auto-renewable subscription with an introductory
    // offer and no price (the trial is then watched until it converts), else
    // "Analytics.Purchase.completed" with the price in US dollars as its value.
    static void reportPurchase(const Transaction &transaction, const Parameters &parameters = {},
                               const std::optional<QString> &customUserID = std::nullopt);

    // The 25 reserved names, lower case.
    static const QSet<QString> &reservedKeys();
    static bool isReserved(const QString &nameOrKey);
    // Keys beginning "Analytics." stay; every other key gets the prefix.
    static Parameters applyDefaultParameterPrefix(const Parameters &parameters, const std::optional<QString> &prefix);
    // Seconds cut to whole thousandths, as decimal text: 2.0004 gives "2.0".
    static QString durationText(double seconds);
};

} // namespace analytics
