#include "Base/UserFolders.h"

#include "Base/Log.h"

#include <QDir>

#include <atomic>

namespace ovlin {

namespace {

struct Rule
{
    const char *variable;
    const char *underHome;
};

constexpr Rule rules[] = {
    {"XDG_CONFIG_HOME", "/.config"},
    {"XDG_DATA_HOME", "/.local/share"},
    {"XDG_CACHE_HOME", "/.cache"},
    {"XDG_RUNTIME_DIR", nullptr},
};

} // namespace

QString userFolder(UserFolder which)
{
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

void forgetRelativeUserFolders()
{
    for (std::size_t index = 0; index < std::size(rules); ++index) {
        const QString value = qEnvironmentVariable(rules[index].variable);
        if (value.isEmpty() || QDir::isAbsolutePath(value))
            continue;
        userFolder(UserFolder(index)); // says it is ignored
        qunsetenv(rules[index].variable);
    }
}

} // namespace ovlin
