#include "Analytics/Analytics.h"

#include <mutex>
#include <utility>

namespace analytics {

namespace {

// The last destination reported in this process; not persisted. Any thread may report.
std::mutex g_navigationMutex;
std::optional<QString> g_previousNavigationPath;

void sendPathChanged(const QString &source, const QString &destination, const std::optional<QString> &customUserID)
{
    const Parameters parameters{
        {QStringLiteral("Analytics.Navigation.schemaVersion"), QStringLiteral("1")},
        {QStringLiteral("Analytics.Navigation.identifier"), source + QStringLiteral(" -> ") + destination},
        {QStringLiteral("Analytics.Navigation.sourcePath"), source},
        {QStringLiteral("Analytics.Navigation.destinationPath"), destination},
    };
    Analytics::sendInternal(QStringLiteral("Analytics.Navigation.pathChanged"), parameters, std::nullopt, customUserID);
}

} // namespace

void Analytics::sendNavigationPathChanged(const QString &source, const QString &destination,
                                          const std::optional<QString> &customUserID)
{
    {
        std::lock_guard lock(g_navigationMutex);
        g_previousNavigationPath = destination;
    }
    sendPathChanged(source, destination, customUserID);
}

void Analytics::sendNavigationPathChanged(const QString &destination, const std::optional<QString> &customUserID)
{
    std::optional<QString> previous;
    {
        // Read and replaced in one step, so two reports at once still form one chain.
        std::lock_guard lock(g_navigationMutex);
        previous = std::exchange(g_previousNavigationPath, destination);
    }
    sendPathChanged(previous.value_or(QString()), destination, customUserID);
}

} // namespace analytics
