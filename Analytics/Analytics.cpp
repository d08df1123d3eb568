#include "Analytics/Analytics.h"

#include "Analytics/AnalyticsManager.h"
#include "Analytics/Dispatch.h"
#include "Analytics/DurationSignalTracker.h"
#include "Analytics/Timings.h"

#include "Base/Clock.h"

#include <cmath>

namespace analytics {

namespace {

const QString kAnalyticsPrefix = QStringLiteral("Analytics.");

QString reservedSignalPrefixWarning()
{
    return QStringLiteral("Sending signal with reserved prefix 'Analytics.' will cause unexpected behavior. "
                          "Please use another prefix instead.");
}
QString reservedSignalNameWarning(const QString &name)
{
    return QStringLiteral("Sending signal with reserved name '%1' will cause unexpected behavior. "
                          "Please use another name instead.")
        .arg(name);
}
QString reservedParameterPrefixWarning()
{
    return QStringLiteral("Sending parameter with reserved key prefix 'Analytics.' will cause unexpected behavior. "
                          "Please use another prefix instead.");
}
QString reservedParameterKeyWarning(const QString &key)
{
    return QStringLiteral("Sending parameter with reserved key '%1' will cause unexpected behavior. "
                          "Please use another key instead.")
        .arg(key);
}

void warnAboutKeys(const AnalyticsManagerConfiguration &config, const Parameters &parameters)
{
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it) {
        if (it.key().toLower().startsWith(QStringLiteral("analytics.")))
            config.log(LogHandler::LogLevel::error, reservedParameterPrefixWarning());
        else if (Analytics::isReserved(it.key()))
            config.log(LogHandler::LogLevel::error, reservedParameterKeyWarning(it.key()));
    }
}

// Signals are dropped in a design preview, when switched off, and when there is no endpoint.
bool isSilenced(const AnalyticsManagerConfiguration &config)
{
    return config.swiftUIPreviewMode() || config.analyticsDisabled() || !config.hasEndpoint();
}

struct ActiveClient
{
    std::shared_ptr<AnalyticsManager> manager;
    std::shared_ptr<AnalyticsManagerConfiguration> configuration;
};

// The registered manager and its configuration; nothing when there is none or its signals are silenced.
std::optional<ActiveClient> activeClient()
{
    auto manager = AnalyticsManager::sharedManager();
    if (!manager)
        return std::nullopt;
    auto configuration = manager->configuration();
    if (isSilenced(*configuration))
        return std::nullopt;
    return ActiveClient{std::move(manager), std::move(configuration)};
}

// The signal's own parameters over the configuration's default ones.
Parameters withDefaultParameters(const AnalyticsManagerConfiguration &config, const Parameters &parameters)
{
    const Parameters defaults =
        Analytics::applyDefaultParameterPrefix(config.defaultParameters()(), config.defaultParameterPrefix());
    warnAboutKeys(config, defaults);
    return mergeParameters(parameters, defaults);
}

// Adds the default parameters under the signal's own and hands the signal to the manager.
void deliver(const ActiveClient &client, const QString &signalName, const Parameters &parameters,
             std::optional<double> floatValue, const std::optional<QString> &customUserID)
{
    client.manager->signalManager()->processSignal(signalName, withDefaultParameters(*client.configuration, parameters),
                                                   floatValue, customUserID, client.configuration);
}

} // namespace

void Analytics::initializeWith(std::shared_ptr<AnalyticsManagerConfiguration> configuration)
{
    AnalyticsManager::initialize(std::move(configuration));
}

void Analytics::send(const QString &signalName, const Parameters &parameters, std::optional<double> floatValue,
                     const std::optional<QString> &customUserID)
{
    sendChecked(signalName, parameters, floatValue, customUserID);
}

void Analytics::sendChecked(const QString &signalName, const Parameters &parameters, std::optional<double> floatValue,
                            const std::optional<QString> &customUserID)
{
    const auto client = activeClient();
    if (!client)
        return;
    const auto &config = client->configuration;
    const QString name = config->defaultSignalPrefix().value_or(QString()) + signalName;
    const Parameters mapped = applyDefaultParameterPrefix(parameters, config->defaultParameterPrefix());
    if (config->reservedParameterWarningsEnabled()) {
        if (name.toLower().startsWith(QStringLiteral("analytics.")))
            config->log(LogHandler::LogLevel::error, reservedSignalPrefixWarning());
        else if (isReserved(name))
            config->log(LogHandler::LogLevel::error, reservedSignalNameWarning(name));
        warnAboutKeys(*config, mapped);
    }
    deliver(*client, name, mapped, floatValue, customUserID);
}

void Analytics::sendInternal(const QString &signalName, const Parameters &parameters, std::optional<double> floatValue,
                             const std::optional<QString> &customUserID)
{
    if (const auto client = activeClient())
        deliver(*client, signalName, parameters, floatValue, customUserID);
}

void Analytics::sendInternalOnce(const QString &signalName, const Parameters &parameters,
                                 const std::function<void()> &stored)
{
    const auto client = activeClient();
    if (!client) {
        if (stored)
            stored();
        return;
    }
    // The signal's own parameters tell a record of it apart.
    client->manager->signalManager()->processSignalOnce(signalName,
                                                        withDefaultParameters(*client->configuration, parameters),
                                                        parameters, client->configuration, stored);
}

void Analytics::startDurationSignal(const QString &signalName, const Parameters &parameters, bool includeBackgroundTime)
{
    DurationSignalTracker::shared().startTracking(signalName, parameters, includeBackgroundTime);
}

void Analytics::cancelDurationSignal(const QString &signalName)
{
    DurationSignalTracker::shared().stopTracking(signalName);
}

void Analytics::stopAndSendDurationSignal(const QString &signalName, const Parameters &parameters,
                                          std::optional<double> floatValue, const std::optional<QString> &customUserID)
{
    const auto tracked = DurationSignalTracker::shared().stopTracking(signalName);
    if (!tracked)
        return;
    Parameters combined{{QStringLiteral("Analytics.Signal.durationInSeconds"), durationText(tracked->first)}};
    combined = mergeParameters(tracked->second, combined);
    combined = mergeParameters(parameters, combined);
    sendInternal(signalName, combined, floatValue, customUserID);
}

void Analytics::requestImmediateSync()
{
    const auto manager = AnalyticsManager::sharedManager();
    if (!manager)
        return;
    if (!manager->grantImmediateSync(ovlin::Clock::now()))
        return;
    const std::weak_ptr<AnalyticsManager> weak = manager;
    utilityQueue().asyncAfter(Timings::current().immediateSyncDelay, [weak] {
        if (const auto alive = weak.lock())
            alive->signalManager()->sendCachedSignals();
    });
}

const QSet<QString> &Analytics::reservedKeys()
{
    static const QSet<QString> keys = [] {
        const char *names[] = {"type",
                               "clientUser",
                               "appID",
                               "sessionID",
                               "floatValue",
                               "newSessionBegan",
                               "platform",
                               "systemVersion",
                               "majorSystemVersion",
                               "majorMinorSystemVersion",
                               "appVersion",
                               "buildNumber",
                               "isSimulator",
                               "isDebug",
                               "isTestFlight",
                               "isAppStore",
                               "modelName",
                               "architecture",
                               "operatingSystem",
                               "targetEnvironment",
                               "locale",
                               "region",
                               "appLanguage",
                               "preferredLanguage",
                               "analyticsClientVersion"};
        QSet<QString> set;
        for (const char *name : names)
            set.insert(QString::fromLatin1(name).toLower());
        return set;
    }();
    return keys;
}

bool Analytics::isReserved(const QString &nameOrKey)
{
    return reservedKeys().contains(nameOrKey.toLower());
}

Parameters Analytics::applyDefaultParameterPrefix(const Parameters &parameters, const std::optional<QString> &prefix)
{
    const QString text = prefix.value_or(QString());
    Parameters result;
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        result.insert(it.key().startsWith(kAnalyticsPrefix) ? it.key() : text + it.key(), it.value());
    return result;
}

QString Analytics::durationText(double seconds)
{
    if (!std::isfinite(seconds))
        return decimalText(seconds);
    return decimalText(std::floor(seconds * 1000.0) / 1000.0);
}

} // namespace analytics
