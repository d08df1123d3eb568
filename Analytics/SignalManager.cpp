#include "Analytics/SignalManager.h"

#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/DefaultSignalPayload.h"
#include "Analytics/Dispatch.h"
#include "Analytics/Hashing.h"
#include "Analytics/SerialQueue.h"
#include "Analytics/SignalCache.h"
#include "Analytics/Timings.h"

#include "Base/Clock.h"
#include "Base/Uuid.h"

#include <QCoreApplication>
#include <QStringDecoder>

#include <atomic>
#include <cmath>
#include <mutex>

namespace analytics {

namespace {

const QString kDefaultUserIdentifierKey = QStringLiteral("defaultUserIdentifier");

std::optional<QString> utf8Text(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    QString text = decoder.decode(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// Whether the last batch failed: offline, every interval fails the same way, so the default level
// hears only of the first failure of a spell and of the batch that goes through again.
struct DeliveryState
{
    std::atomic<bool> failing{false};

    void failed(const AnalyticsManagerConfiguration &config, const QString &reason)
    {
        if (failing.exchange(true)) {
            config.log(LogHandler::LogLevel::debug, reason);
            return;
        }
        config.log(LogHandler::LogLevel::error,
                   QStringLiteral("Sending signals failed: %1. They stay cached and are tried again.").arg(reason));
    }
    void delivered(const AnalyticsManagerConfiguration &config)
    {
        if (failing.exchange(false))
            config.log(LogHandler::LogLevel::info, QStringLiteral("Sending signals works again"));
    }
};

} // namespace

struct SignalManager::Core : std::enable_shared_from_this<Core>
{
    std::shared_ptr<AnalyticsManagerConfiguration> configuration;
    std::shared_ptr<SignalCache> cache; // null when inactive
    const std::shared_ptr<DeliveryState> delivery = std::make_shared<DeliveryState>();
    SerialQueue queue{std::string(kReverseDomainPrefix) + ".SignalTimer"};
    quint64 switchObserver = 0;

    std::mutex switchMutex;
    bool sending = false; // the send timer runs
    bool stopped = false;

    // Starts or stops sending to match whether analytics is switched off.
    void followSwitch();

    void cacheSignal(const QString &signalType, const std::optional<QString> &customUserID,
                     std::optional<double> floatValue, const Parameters &defaultParameters,
                     const Parameters &parameters, const QString &defaultUser,
                     const std::shared_ptr<AnalyticsManagerConfiguration> &signalConfiguration,
                     const Parameters &identity = {}, const std::function<void()> &storedOnce = {});
    // The default payload is read on the main thread, then the record is built and cached in order.
    void enqueue(const QString &signalType, const Parameters &parameters, std::optional<double> floatValue,
                 const std::optional<QString> &customUserID,
                 const std::shared_ptr<AnalyticsManagerConfiguration> &signalConfiguration, const Parameters &identity,
                 const std::function<void()> &storedOnce);
    void sendCachedSignals();
    void send(const SignalCache::Batch &batch);
};

void SignalManager::Core::enqueue(const QString &signalType, const Parameters &parameters,
                                  std::optional<double> floatValue, const std::optional<QString> &customUserID,
                                  const std::shared_ptr<AnalyticsManagerConfiguration> &signalConfiguration,
                                  const Parameters &identity, const std::function<void()> &storedOnce)
{
    const std::shared_ptr<Core> core = shared_from_this();
    runOnMainThread(
        [core, signalType, parameters, floatValue, customUserID, signalConfiguration, identity, storedOnce] {
            const QString defaultUser = defaultUserIdentifier(*core->configuration);
            const Parameters defaultParameters = DefaultSignalPayload::parameters();
            core->queue.async([core, signalType, parameters, floatValue, customUserID, signalConfiguration, defaultUser,
                               defaultParameters, identity, storedOnce] {
                core->cacheSignal(signalType, customUserID, floatValue, defaultParameters, parameters, defaultUser,
                                  signalConfiguration, identity, storedOnce);
            });
        });
}

void SignalManager::Core::cacheSignal(const QString &signalType, const std::optional<QString> &customUserID,
                                      std::optional<double> floatValue, const Parameters &defaultParameters,
                                      const Parameters &parameters, const QString &defaultUser,
                                      const std::shared_ptr<AnalyticsManagerConfiguration> &signalConfiguration,
                                      const Parameters &identity, const std::function<void()> &storedOnce)
{
    const AnalyticsManagerConfiguration &config = *signalConfiguration;
    Parameters enriched;
    for (const auto &enricher : config.metadataEnrichers()) {
        if (enricher)
            enriched = mergeParameters(enricher->enrich(signalType, customUserID, floatValue), enriched);
    }
    const Parameters payload = mergeParameters(parameters, mergeParameters(enriched, defaultParameters));

    if (floatValue && !std::isfinite(*floatValue)) {
        // JSON cannot carry it; keeping it would make the batch and the cache file unwritable.
        config.log(LogHandler::LogLevel::error,
                   QStringLiteral("Dropping float value %1 of signal %2: JSON cannot carry it")
                       .arg(decimalText(*floatValue), signalType));
        floatValue.reset();
    }

    SignalPostBody record;
    record.receivedAt = ovlin::Clock::now();
    record.appID = config.analyticsAppID();
    record.clientUser = sha256Hex(customUserID.value_or(defaultUser), config.salt());
    record.sessionID = ovlin::uuidText(config.sessionID());
    record.type = signalType;
    record.floatValue = floatValue;
    record.payload = payload;
    record.isTestMode = config.testMode() ? QStringLiteral("true") : QStringLiteral("false");

    config.log(LogHandler::LogLevel::debug, QStringLiteral("Process signal: ") + record.debugDescription());
    if (!storedOnce) {
        cache->push(record);
        return;
    }
    const auto sameSignal = [signalType, identity](const SignalPostBody &held) {
        if (held.type != signalType)
            return false;
        for (auto it = identity.cbegin(); it != identity.cend(); ++it) {
            const auto value = held.payload.constFind(it.key());
            if (value == held.payload.cend() || *value != it.value())
                return false;
        }
        return true;
    };
    cache->pushDurably(record, sameSignal, storedOnce);
}

void SignalManager::Core::followSwitch()
{
    {
        std::lock_guard lock(switchMutex);
        const bool enabled = !configuration->analyticsDisabled();
        if (stopped || enabled == sending)
            return;
        sending = enabled;
        if (!enabled) {
            queue.cancelRepeating();
            return;
        }
        const std::weak_ptr<Core> weak = weak_from_this();
        queue.setRepeating(Timings::current().sendInterval, [weak] {
            if (const auto core = weak.lock())
                core->sendCachedSignals();
        });
    }
    // What waited goes at once, then one batch per interval.
    sendCachedSignals();
}

void SignalManager::Core::sendCachedSignals()
{
    // Switched off, records wait in the cache and its file until analytics is switched on again.
    if (!cache || configuration->analyticsDisabled())
        return;
    configuration->log(LogHandler::LogLevel::debug,
                       QStringLiteral("Current signal cache count: %1").arg(cache->count()));
    const SignalCache::Batch batch = cache->pop();
    if (batch.records.isEmpty())
        return;
    configuration->log(LogHandler::LogLevel::debug, QStringLiteral("Sending %1 signals leaving a cache of %2 signals")
                                                        .arg(batch.records.size())
                                                        .arg(cache->count()));
    send(batch);
}

void SignalManager::Core::send(const SignalCache::Batch &batch)
{
    const std::shared_ptr<AnalyticsManagerConfiguration> config = configuration;
    const std::shared_ptr<SignalCache> batchCache = cache;
    const std::shared_ptr<DeliveryState> state = delivery;
    const quint64 batchId = batch.id;

    const std::optional<QUrl> url = signalAPIURL(config->apiBaseURL(), config->namespace_());
    if (!url) {
        state->failed(*config, QStringLiteral("Unable to construct signal API URL for namespace %1: %2")
                                   .arg(config->namespace_().value_or(QStringLiteral("nil")),
                                        AnalyticsError::invalidEndpointUrl().plainRendering()));
        batchCache->finish(batchId, false);
        return;
    }

    const std::optional<QByteArray> body = analyticsEncoder().encode(batch.records);
    if (!body) {
        // Records are cleaned when built and cached, so this does not happen; keep them all the same.
        batchCache->finish(batchId, false);
        return;
    }
    if (const auto text = utf8Text(*body))
        config->log(LogHandler::LogLevel::debug, *text);

    HttpRequest request;
    request.url = *url;
    request.method = QByteArrayLiteral("POST");
    request.headers.append({QByteArrayLiteral("Content-Type"), QByteArrayLiteral("application/json")});
    request.body = *body;
    request.timeout = Timings::current().requestTimeout;

    config->urlSession()->send(request, [config, batchCache, state, batchId](const HttpResult &result) {
        if (result.transportError) {
            state->failed(*config, *result.transportError);
            batchCache->finish(batchId, false);
            return;
        }
        // Without an answer there is no sign of delivery either.
        if (const auto error = statusError(result.response)) {
            state->failed(*config, error->plainRendering());
            batchCache->finish(batchId, false);
            return;
        }
        state->delivered(*config);
        batchCache->finish(batchId, true);
        if (result.data && !result.data->isEmpty()) {
            if (const auto text = utf8Text(*result.data))
                config->log(LogHandler::LogLevel::debug, *text);
        }
    });
}

SignalManager::SignalManager(std::shared_ptr<AnalyticsManagerConfiguration> configuration)
    : m_core(std::make_shared<Core>())
{
    m_core->configuration = std::move(configuration);
    const bool preview = m_core->configuration->swiftUIPreviewMode();
    if (preview || !m_core->configuration->hasEndpoint())
        return;

    m_core->cache = SignalCache::open(m_core->configuration->logHandler());

    if (QCoreApplication *app = QCoreApplication::instance()) {
        const std::weak_ptr<Core> weak = m_core;
        m_terminationConnection = QObject::connect(
            app, &QCoreApplication::aboutToQuit, app,
            [weak] {
                if (const auto core = weak.lock()) {
                    core->configuration->log(LogHandler::LogLevel::debug, QStringLiteral("appWillTerminate()"));
                    core->cache->backupCache();
                }
            },
            Qt::DirectConnection);
    }

    // Nothing wakes to send while analytics is switched off.
    const std::weak_ptr<Core> weak = m_core;
    m_core->switchObserver = m_core->configuration->addAnalyticsDisabledObserver([weak] {
        if (const auto core = weak.lock())
            core->followSwitch();
    });
    m_core->followSwitch();
}

SignalManager::~SignalManager()
{
    QObject::disconnect(m_terminationConnection);
    if (m_core->switchObserver)
        m_core->configuration->removeAnalyticsDisabledObserver(m_core->switchObserver);
    {
        std::lock_guard lock(m_core->switchMutex);
        m_core->stopped = true;
    }
    // Records still being built land in the cache; the timer stops.
    m_core->queue.shutdown();
}

void SignalManager::processSignal(const QString &signalType, const Parameters &parameters,
                                  std::optional<double> floatValue, const std::optional<QString> &customUserID,
                                  const std::shared_ptr<AnalyticsManagerConfiguration> &configuration)
{
    if (m_core->cache)
        m_core->enqueue(signalType, parameters, floatValue, customUserID, configuration, {}, {});
}

void SignalManager::processSignalOnce(const QString &signalType, const Parameters &parameters,
                                      const Parameters &identity,
                                      const std::shared_ptr<AnalyticsManagerConfiguration> &configuration,
                                      const std::function<void()> &stored)
{
    if (m_core->cache)
        m_core->enqueue(signalType, parameters, std::nullopt, std::nullopt, configuration, identity, stored);
    else if (stored)
        stored();
}

void SignalManager::sendCachedSignals()
{
    m_core->sendCachedSignals();
}

QString SignalManager::defaultUserIdentifier() const
{
    return defaultUserIdentifier(*m_core->configuration);
}

QString SignalManager::defaultUserIdentifier(const AnalyticsManagerConfiguration &configuration)
{
    if (const auto user = configuration.defaultUser())
        return *user;
    // One lookup at a time, so two threads never store two different identifiers.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    if (suite) {
        if (const auto stored = suite->stringValue(kDefaultUserIdentifierKey))
            return *stored;
    }
    const QString identifier = ovlin::uuidText(QUuid::createUuid());
    if (suite)
        suite->setString(kDefaultUserIdentifierKey, identifier);
    return identifier;
}

void SignalManager::appWillTerminate()
{
    if (!m_core->cache)
        return;
    m_core->configuration->log(LogHandler::LogLevel::debug, QStringLiteral("appWillTerminate()"));
    m_core->cache->backupCache();
}

std::shared_ptr<SignalCache> SignalManager::signalCache() const
{
    return m_core->cache;
}

bool SignalManager::isSendTimerRunning() const
{
    std::lock_guard lock(m_core->switchMutex);
    return m_core->sending;
}

std::optional<QUrl> SignalManager::signalAPIURL(const QUrl &baseURL, const std::optional<QString> &namespace_)
{
    QString text = baseURL.toString();
    if (!text.endsWith(QLatin1Char('/')))
        text += QLatin1Char('/');
    if (namespace_ && !namespace_->isEmpty())
        text += QStringLiteral("v2/namespace/") + *namespace_ + QLatin1Char('/');
    else
        text += QStringLiteral("v2/");
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

std::optional<AnalyticsError> SignalManager::statusError(const std::optional<HttpResponse> &response)
{
    if (!response || !response->statusCode)
        return AnalyticsError::invalidStatusCode(0);
    const int status = *response->statusCode;
    if (status >= 200 && status <= 299)
        return std::nullopt;
    switch (status) {
    case 401: return AnalyticsError::unauthorised();
    case 403: return AnalyticsError::forbidden();
    case 413: return AnalyticsError::payloadTooLarge();
    default: return AnalyticsError::invalidStatusCode(status);
    }
}

} // namespace analytics
