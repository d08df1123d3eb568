#include "Analytics/Analytics.h"

#include "Analytics/AnalyticsManager.h"

namespace analytics {

namespace {

void sendPreset(const QString &signalName, const Parameters &presetParameters, const Parameters &parameters,
                const std::optional<QString> &customUserID)
{
    Analytics::sendInternal(signalName, mergeParameters(parameters, presetParameters), std::nullopt, customUserID);
}

} // namespace

void Analytics::sendUserAcquired(const QString &channel, const Parameters &parameters,
                                 const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Acquisition.userAcquired"),
               {{QStringLiteral("Analytics.Acquisition.channel"), channel}}, parameters, customUserID);
}

void Analytics::sendLeadStarted(const QString &leadID, const Parameters &parameters,
                                const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Acquisition.leadStarted"),
               {{QStringLiteral("Analytics.Acquisition.leadID"), leadID}}, parameters, customUserID);
}

void Analytics::sendLeadConverted(const QString &leadID, const Parameters &parameters,
                                  const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Acquisition.leadConverted"),
               {{QStringLiteral("Analytics.Acquisition.leadID"), leadID}}, parameters, customUserID);
}

void Analytics::sendOnboardingCompleted(const Parameters &parameters, const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Activation.onboardingCompleted"), {}, parameters, customUserID);
}

void Analytics::sendCoreFeatureUsed(const QString &featureName, const Parameters &parameters,
                                    const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Activation.coreFeatureUsed"),
               {{QStringLiteral("Analytics.Activation.featureName"), featureName}}, parameters, customUserID);
}

void Analytics::sendReferralSent(qint64 receiversCount, const std::optional<QString> &kind,
                                 const Parameters &parameters, const std::optional<QString> &customUserID)
{
    Parameters preset{{QStringLiteral("Analytics.Referral.receiversCount"), QString::number(receiversCount)}};
    if (kind)
        preset.insert(QStringLiteral("Analytics.Referral.kind"), *kind);
    sendPreset(QStringLiteral("Analytics.Referral.sent"), preset, parameters, customUserID);
}

void Analytics::sendUserRatingSubmitted(qint64 rating, const std::optional<QString> &comment,
                                        const Parameters &parameters, const std::optional<QString> &customUserID)
{
    if (rating < 0 || rating > 10) {
        if (const auto manager = AnalyticsManager::sharedManager())
            manager->configuration()->log(LogHandler::LogLevel::error,
                                          QStringLiteral("Rating must be between 0 and 10"));
        return;
    }
    Parameters preset{{QStringLiteral("Analytics.Referral.ratingValue"), QString::number(rating)}};
    if (comment)
        preset.insert(QStringLiteral("Analytics.Referral.ratingComment"), *comment);
    sendPreset(QStringLiteral("Analytics.Referral.userRatingSubmitted"), preset, parameters, customUserID);
}

void Analytics::sendPaywallShown(const QString &reason, const Parameters &parameters,
                                 const std::optional<QString> &customUserID)
{
    sendPreset(QStringLiteral("Analytics.Revenue.paywallShown"),
               {{QStringLiteral("Analytics.Revenue.paywallShowReason"), reason}}, parameters, customUserID);
}

} // namespace analytics
