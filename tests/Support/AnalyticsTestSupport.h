#pragma once

#include "Analytics/AnalyticsManager.h"
#include "Analytics/AnalyticsManagerStorage.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/DefaultSignalPayload.h"
#include "Analytics/DurationSignalTracker.h"
#include "Analytics/LogHandler.h"
#include "Analytics/SessionManager.h"
#include "Analytics/SignalCache.h"
#include "Analytics/SignalManager.h"
#include "Analytics/Timings.h"

#include "Base/Clock.h"
#include "Base/Defaults.h"

#include "Support/TestHttpServer.h"

#include <QDir>
#include <QRegularExpression>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Collects log lines from any thread.
class LogRecorder
{
public:
    analytics::LogHandler handler(analytics::LogHandler::LogLevel threshold = analytics::LogHandler::LogLevel::debug)
    {
        analytics::LogHandler result;
        result.logLevel = threshold;
        const std::shared_ptr<State> state = m_state;
        result.handler = [state](analytics::LogHandler::LogLevel level, const QString &message) {
            std::lock_guard lock(state->mutex);
            state->lines.append(analytics::LogHandler::description(level) + QStringLiteral(": ") + message);
        };
        return result;
    }
    QStringList lines() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->lines;
    }
    bool contains(const QString &line) const { return lines().contains(line); }
    int count(const QString &line) const { return int(lines().count(line)); }
    QStringList linesWith(const QString &part) const { return lines().filter(part); }
    QStringList errors() const { return lines().filter(QRegularExpression(QStringLiteral("^ERROR: "))); }
    void clear()
    {
        std::lock_guard lock(m_state->mutex);
        m_state->lines.clear();
    }

private:
    struct State
    {
        mutable std::mutex mutex;
        QStringList lines;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};

// Fresh folders and client state for each test case: own XDG cache and config folders (under the
// test's HOME), no registered manager, new session statistics, and timings that keep real timers
// out of the way unless a case shortens them.
class AnalyticsSandbox
{
public:
    AnalyticsSandbox() : m_dir(QDir::homePath() + QStringLiteral("/case-XXXXXX"))
    {
        qputenv("XDG_CACHE_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/cache")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path() + QStringLiteral("/config")));
        resetState();
        analytics::Timings timings;
        timings.firstSessionDelay = std::chrono::hours(1);
        timings.sendInterval = std::chrono::hours(1);
        timings.sessionTimerInterval = std::chrono::hours(1);
        timings.requestTimeout = std::chrono::seconds(10);
        analytics::Timings::setCurrent(timings);
    }
    ~AnalyticsSandbox()
    {
        if (const auto manager = analytics::AnalyticsManagerStorage::manager())
            watch(cacheOf(manager));
        analytics::AnalyticsManager::terminate();
        resetState();
        // Let sends still in flight end before the folders go.
        for (const auto &cache : m_watched)
            QTRY_VERIFY_WITH_TIMEOUT(cache.expired(), 15000);
        ovlin::Clock::useSystemTime();
        analytics::Timings::setCurrent(analytics::Timings());
    }

    QString path() const { return m_dir.path(); }
    // Waits at the end for this cache to be released (its sends to end).
    void watch(const std::shared_ptr<analytics::SignalCache> &cache) { m_watched.push_back(cache); }
    static QString cacheFilePath() { return analytics::SignalCache::defaultFilePath(); }

    static std::shared_ptr<analytics::SignalManager>
    signalManagerOf(const std::shared_ptr<analytics::AnalyticsManager> &manager)
    {
        return std::dynamic_pointer_cast<analytics::SignalManager>(manager->signalManager());
    }
    static std::shared_ptr<analytics::SignalCache> cacheOf(const std::shared_ptr<analytics::AnalyticsManager> &manager)
    {
        const auto signalManager = signalManagerOf(manager);
        return signalManager ? signalManager->signalCache() : nullptr;
    }
    // The registered manager's cache.
    static std::shared_ptr<analytics::SignalCache> cache()
    {
        const auto manager = analytics::AnalyticsManagerStorage::manager();
        return manager ? cacheOf(manager) : nullptr;
    }

private:
    static void resetState()
    {
        analytics::SessionManager::resetSharedForTesting();
        analytics::ApplicationEvents::resetForTesting();
        analytics::DurationSignalTracker::shared().resetForTesting();
        analytics::DefaultSignalPayload::setHostFactsProvider({});
        ovlin::Defaults::resetSharedForTesting();
    }

    QTemporaryDir m_dir;
    std::vector<std::weak_ptr<analytics::SignalCache>> m_watched;
};

// One case against the local server: the server, a log and a sandbox. The sandbox goes first on
// destruction so sends still in flight can reach the server.
struct ServerCase
{
    TestHttpServer server;
    LogRecorder log;
    std::optional<AnalyticsSandbox> sandbox{std::in_place};

    // A configuration aimed at the local server that logs into `log`.
    std::shared_ptr<analytics::AnalyticsManagerConfiguration>
    configuration(const QString &appID, const std::optional<QString> &salt = {},
                  analytics::LogHandler::LogLevel level = analytics::LogHandler::LogLevel::info)
    {
        auto config = analytics::AnalyticsManagerConfiguration::create(appID, salt, server.baseUrl());
        config->setLogHandler(log.handler(level));
        return config;
    }
};
