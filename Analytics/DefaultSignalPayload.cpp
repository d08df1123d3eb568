#include "Analytics/DefaultSignalPayload.h"

#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/SessionManager.h"

#include "Base/Clock.h"
#include "Base/Days.h"

#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QSysInfo>

#include <mutex>

#include <sys/utsname.h>

#ifndef OVLIN_VERSION
#define OVLIN_VERSION "0"
#endif
#ifndef OVLIN_BUILD_NUMBER
#define OVLIN_BUILD_NUMBER "0"
#endif

namespace analytics {

namespace {

std::mutex &hostFactsMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}

DefaultSignalPayload::HostFactsProvider &storedHostFactsProvider()
{
    static auto *provider = new DefaultSignalPayload::HostFactsProvider;
    return *provider;
}

QStringList localeParts(const QString &identifier)
{
    return identifier.split(QRegularExpression(QStringLiteral("[-_]")));
}

QString flag(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

} // namespace

void DefaultSignalPayload::setHostFactsProvider(HostFactsProvider provider)
{
    std::lock_guard lock(hostFactsMutex());
    storedHostFactsProvider().swap(provider);
}

DefaultSignalPayload::HostFacts DefaultSignalPayload::hostFacts()
{
    HostFactsProvider provider;
    {
        std::lock_guard lock(hostFactsMutex());
        provider = storedHostFactsProvider();
    }
    // Asked outside the lock: the host's answer may take its own locks.
    return provider ? provider() : HostFacts();
}

QString DefaultSignalPayload::timeZoneText(int offsetFromUtcSeconds)
{
    const int hours = offsetFromUtcSeconds / 3600;
    const int minutes = (offsetFromUtcSeconds / 60) % 60;
    QString text = QStringLiteral("UTC") + (offsetFromUtcSeconds < 0 ? QStringLiteral("-") : QStringLiteral("+")) +
                   QString::number(std::abs(hours));
    if (minutes != 0)
        text += QStringLiteral(":%1").arg(std::abs(minutes), 2, 10, QLatin1Char('0'));
    return text;
}

DefaultSignalPayload::Version DefaultSignalPayload::parseVersion(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch match = pattern.match(text);
    Version version;
    if (!match.hasMatch())
        return version;
    version.major = match.captured(1).toInt();
    version.minor = match.captured(2).toInt();
    version.patch = match.captured(3).toInt();
    return version;
}

QString DefaultSignalPayload::modelName()
{
    QFile file(QStringLiteral("/sys/devices/virtual/dmi/id/product_name"));
    if (file.open(QIODevice::ReadOnly)) {
        QByteArray data = file.read(4096);
        const qsizetype zero = data.indexOf('\0');
        if (zero >= 0)
            data.truncate(zero);
        QStringDecoder decoder(QStringDecoder::Utf8);
        const QString name = QString(decoder.decode(data)).trimmed();
        if (!decoder.hasError() && !name.isEmpty())
            return name;
    }
    struct utsname system;
    if (uname(&system) == 0)
        return QString::fromUtf8(system.machine, qsizetype(qstrnlen(system.machine, sizeof(system.machine))));
    return QString();
}

namespace {

// Writes one value under each of its keys.
struct PayloadWriter
{
    Parameters parameters;
    void put(std::initializer_list<const char *> keys, const QString &value)
    {
        for (const char *key : keys)
            parameters.insert(QString::fromLatin1(key), value);
    }
};

// The operating system, the application's version and how it runs.
void putSystemAndApp(PayloadWriter &w)
{
    const DefaultSignalPayload::Version os = DefaultSignalPayload::parseVersion(QSysInfo::kernelVersion());
    const QString osName = QStringLiteral("Linux");
    const QString appVersion = QStringLiteral(OVLIN_VERSION);
    const QString buildNumber = QStringLiteral(OVLIN_BUILD_NUMBER);
    w.put({"platform", "operatingSystem", "Analytics.Device.platform", "Analytics.Device.operatingSystem"}, osName);
    w.put({"systemVersion", "Analytics.Device.systemVersion"},
          QStringLiteral("%1 %2.%3.%4").arg(osName).arg(os.major).arg(os.minor).arg(os.patch));
    w.put({"majorSystemVersion", "Analytics.Device.systemMajorVersion"},
          QStringLiteral("%1 %2").arg(osName).arg(os.major));
    w.put({"majorMinorSystemVersion", "Analytics.Device.systemMajorMinorVersion"},
          QStringLiteral("%1 %2.%3").arg(osName).arg(os.major).arg(os.minor));
    w.put({"appVersion", "Analytics.AppInfo.version"}, appVersion);
    w.put({"buildNumber", "Analytics.AppInfo.buildNumber"}, buildNumber);
    w.put({"Analytics.AppInfo.versionAndBuildNumber"}, appVersion + QStringLiteral(" (build ") + buildNumber + ')');
    w.put({"isSimulator", "Analytics.RunContext.isSimulator"}, flag(false));
    w.put({"isDebug", "Analytics.RunContext.isDebug"}, flag(false));
    // No store receipt on Linux: never a test distribution.
    w.put({"isTestFlight", "Analytics.RunContext.isTestFlight"}, flag(false));
    w.put({"isAppStore", "Analytics.RunContext.isAppStore"}, flag(true));
    w.put({"modelName", "Analytics.Device.modelName"}, DefaultSignalPayload::modelName());
    w.put({"architecture", "Analytics.Device.architecture"}, QSysInfo::currentCpuArchitecture());
    w.put({"targetEnvironment", "Analytics.RunContext.targetEnvironment"}, QStringLiteral("native"));
}

// The user's locale, region and languages.
void putLocale(PayloadWriter &w)
{
    const QLocale locale = QLocale::system();
    const QString localeIdentifier = locale.name();
    const QStringList parts = localeParts(localeIdentifier);
    const QString region =
        locale.territory() != QLocale::AnyTerritory ? QLocale::territoryToCode(locale.territory()) : parts.last();
    const QString language = locale.language() != QLocale::AnyLanguage && locale.language() != QLocale::C
                                 ? QLocale::languageToCode(locale.language())
                                 : parts.first();
    const QStringList uiLanguages = locale.uiLanguages();
    const QString preferred =
        localeParts(uiLanguages.isEmpty() ? QStringLiteral("zz-ZZ") : uiLanguages.first()).first();
    w.put({"locale", "Analytics.RunContext.locale"}, localeIdentifier);
    w.put({"region", "Analytics.UserPreference.region"}, region);
    w.put({"appLanguage", "Analytics.RunContext.language"}, language);
    w.put({"preferredLanguage", "Analytics.UserPreference.language"}, preferred);
}

// The client library, the screen, the time zone and the desktop's preferences.
void putClientAndHost(PayloadWriter &w, const QDateTime &now)
{
    const QString clientVersion = QString::fromLatin1(kClientVersion);
    const QString clientName = QString::fromLatin1(kClientName);
    const DefaultSignalPayload::HostFacts host = DefaultSignalPayload::hostFacts();
    w.put({"analyticsClientVersion", "Analytics.SDK.version"}, clientVersion);
    w.put({"Analytics.SDK.name"}, clientName);
    w.put({"Analytics.SDK.nameAndVersion"}, clientName + ' ' + clientVersion);
    w.put({"Analytics.Device.orientation"}, QStringLiteral("Fixed"));
    const QString na = QStringLiteral("N/A");
    w.put({"Analytics.Device.screenResolutionWidth"}, host.screen ? decimalText(host.screen->width) : na);
    w.put({"Analytics.Device.screenResolutionHeight"}, host.screen ? decimalText(host.screen->height) : na);
    w.put({"Analytics.Device.screenScaleFactor"}, host.screen ? decimalText(host.screen->scaleFactor) : na);
    w.put({"Analytics.Device.timeZone"}, DefaultSignalPayload::timeZoneText(now.offsetFromUtc()));
    w.put({"Analytics.UserPreference.colorScheme"}, host.colorScheme);
    w.put({"Analytics.UserPreference.layoutDirection"}, host.layoutDirection);
}

// Where the local moment falls in the calendar.
void putCalendar(PayloadWriter &w, const QDateTime &now)
{
    const QDate today = now.date();
    const int dayOfWeek = today.dayOfWeek();
    w.put({"Analytics.Calendar.dayOfMonth"}, QString::number(today.day()));
    w.put({"Analytics.Calendar.dayOfWeek"}, QString::number(dayOfWeek));
    w.put({"Analytics.Calendar.dayOfYear"}, QString::number(today.dayOfYear()));
    w.put({"Analytics.Calendar.weekOfYear"}, QString::number(today.weekNumber()));
    w.put({"Analytics.Calendar.isWeekend"}, flag(dayOfWeek >= 6));
    w.put({"Analytics.Calendar.monthOfYear"}, QString::number(today.month()));
    w.put({"Analytics.Calendar.quarterOfYear"}, QString::number((today.month() - 1) / 3 + 1));
    w.put({"Analytics.Calendar.hourOfDay"}, QString::number(now.time().hour() + 1));
}

// The user's retention statistics.
void putRetention(PayloadWriter &w, const QDateTime &now)
{
    // Read through the session manager, which counts its own writes still on their way to the suite.
    SessionManager &sessions = SessionManager::shared();
    const QString firstSessionDate = sessions.firstSessionDate().value_or(ovlin::Days::dayKey(now));
    const QStringList days = sessions.distinctDaysUsed();
    // Day texts are local dates, so the cut-off is one too.
    const QString cutoff = ovlin::Days::dayKey(now.addSecs(-2592000));
    qsizetype daysLastMonth = 0;
    for (const QString &day : days) {
        if (day >= cutoff)
            ++daysLastMonth;
    }

    w.put({"Analytics.Acquisition.firstSessionDate"}, firstSessionDate);
    w.put({"Analytics.Retention.averageSessionSeconds"}, QString::number(sessions.averageSessionSeconds()));
    w.put({"Analytics.Retention.distinctDaysUsed"}, QString::number(days.size()));
    w.put({"Analytics.Retention.distinctDaysUsedLastMonth"}, QString::number(daysLastMonth));
    w.put({"Analytics.Retention.totalSessionsCount"}, QString::number(sessions.totalSessionsCount()));
    if (const auto previous = sessions.previousSessionSeconds())
        w.put({"Analytics.Retention.previousSessionSeconds"}, QString::number(*previous));
}

} // namespace

Parameters DefaultSignalPayload::parameters()
{
    PayloadWriter w;
    const QDateTime now = ovlin::Clock::now().toLocalTime();
    putSystemAndApp(w);
    putLocale(w);
    putClientAndHost(w, now);
    putCalendar(w, now);
    putRetention(w, now);
    return w.parameters;
}

} // namespace analytics
