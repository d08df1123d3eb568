#include "Base/UserFolders.h"

#include "Base/Log.h"

#include <QDir>

#include <atomic>

namespace ovlin {

QString userFolder(UserFolder which)
{
    struct Rule
    {
        const char *variable;
        const char *underHome;
    };
    static constexpr Rule rules[] = {
        {"XDG_CONFIG_HOME", "/.config"},
        {"XDG_DATA_HOME", "/.local/share"},
        {"XDG_CACHE_HOME", "/.cache"},
        {"XDG_RUNTIME_DIR", nullptr},
    };
    static std::atomic<bool> reported[std::size(rules)];
    const auto index = std::size_t(which);
    const Rule &rule = rules[index];
    const QString value = qEnvironmentVariable(rule.variable);
    if (QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    const QString fallback = rule.underHome ? QDir::homePath() + QLatin1String(rule.underHome) : QString();
    if (!value.isEmpty() && !reported[index].exchange(true))
        qCWarning(lcApp).noquote() << QStringLiteral("Ignoring %1=%2: it is not an absolute path; using %3")
                                          .arg(QLatin1String(rule.variable), value,
                                               fallback.isEmpty() ? QStringLiteral("a folder of Ovlin's own")
                                                                  : fallback);
    return fallback;
}

} // namespace ovlin
