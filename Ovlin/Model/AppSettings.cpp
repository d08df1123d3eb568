#include "Model/AppSettings.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Defaults.h"

#include <cmath>

namespace ovlin {

namespace {

std::unique_ptr<AppSettings> g_shared;

// Seconds since 1970 within what QDateTime can hold without overflow (about ±290,000 years).
constexpr double kMaxSeconds = 9.0e12;

std::optional<QDateTime> dateFromSeconds(double seconds)
{
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxSeconds)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)));
}

double secondsOf(const QDateTime &date)
{
    return double(date.toMSecsSinceEpoch()) / 1000.0;
}

// A stored time of day: a number above 0 is that date, anything else the default hour and minute.
// The default is placed on today so that a time picked from it keeps a positive date when saved.
QDateTime loadTime(const Defaults &defaults, const QString &key, int hour, int minute)
{
    if (const auto seconds = defaults.numberValue(key); seconds && *seconds > 0) {
        if (const auto date = dateFromSeconds(*seconds))
            return *date;
    }
    const QDateTime placed = Days::atTime(Clock::now(), hour, minute);
    return placed.isValid() ? placed : Clock::now();
}

bool loadBool(const Defaults &defaults, const QString &key, bool fallback)
{
    return defaults.boolValue(key).value_or(fallback);
}

} // namespace

AppSettings &AppSettings::shared()
{
    if (!g_shared)
        g_shared = std::make_unique<AppSettings>(Defaults::suite(QStringLiteral(OVLIN_APP_ID)));
    return *g_shared;
}

void AppSettings::resetSharedForTesting()
{
    g_shared.reset();
}

AppSettings::AppSettings(std::shared_ptr<Defaults> defaults, QObject *parent)
    : QObject(parent), m_defaults(std::move(defaults))
{
    const Defaults &d = *m_defaults;
    m_soundEnabled = loadBool(d, QStringLiteral("soundEnabled"), true);
    m_quietHoursEnabled = loadBool(d, QString(quietHoursEnabledKey), false);
    m_quietStart = loadTime(d, QString(quietStartKey), 22, 0);
    m_quietEnd = loadTime(d, QString(quietEndKey), 7, 0);
    m_theme = appThemeFromRaw(d.stringValue(QStringLiteral("theme")).value_or(QString())).value_or(AppTheme::system);
    m_gracePeriodEnabled = loadBool(d, QStringLiteral("gracePeriodEnabled"), true);
    if (const auto seconds = d.numberValue(QStringLiteral("graceUsedThisWeek")))
        m_graceUsedThisWeek = dateFromSeconds(*seconds);
    m_gracePeriodStart = Days::startOfDay(Clock::now());
    if (const auto seconds = d.numberValue(QStringLiteral("gracePeriodStart")); seconds && *seconds > 0) {
        if (const auto date = dateFromSeconds(*seconds))
            m_gracePeriodStart = *date;
    }
    m_streakThreshold = d.numberValue(QStringLiteral("streakThreshold")).value_or(0.8);
    m_eveningReminderEnabled = loadBool(d, QStringLiteral("eveningReminderEnabled"), true);
    m_eveningReminderTime = loadTime(d, QStringLiteral("eveningReminderTime"), 20, 0);
    m_dailySummaryEnabled = loadBool(d, QStringLiteral("dailySummaryEnabled"), true);
    m_dailySummaryTime = loadTime(d, QStringLiteral("dailySummaryTime"), 21, 30);
    m_graceDaysPerWeek = d.integerValue(QStringLiteral("graceDaysPerWeek")).value_or(1);
    m_launchAtLogin = loadBool(d, QString(launchAtLoginKey), false);
    m_hasCompletedOnboarding = loadBool(d, QStringLiteral("hasCompletedOnboarding"), false);

    std::optional<QDateTime> firstLaunch;
    if (const auto seconds = d.numberValue(QStringLiteral("firstLaunchDate")); seconds && *seconds > 0)
        firstLaunch = dateFromSeconds(*seconds);
    if (firstLaunch) {
        m_firstLaunchDate = *firstLaunch;
    } else {
        m_firstLaunchDate = Clock::now();
        m_defaults->setDouble(QStringLiteral("firstLaunchDate"), secondsOf(m_firstLaunchDate));
    }
}

AppSettings::~AppSettings() = default;

void AppSettings::writeBool(const QString &key, bool &field, bool value)
{
    field = value;
    m_defaults->setBool(key, value);
    Q_EMIT changed(key);
}

void AppSettings::writeDate(const QString &key, QDateTime &field, const QDateTime &value)
{
    field = value;
    m_defaults->setDouble(key, secondsOf(value));
    Q_EMIT changed(key);
}

void AppSettings::setSoundEnabled(bool value)
{
    writeBool(QStringLiteral("soundEnabled"), m_soundEnabled, value);
}

void AppSettings::setQuietHoursEnabled(bool value)
{
    writeBool(QString(quietHoursEnabledKey), m_quietHoursEnabled, value);
}

void AppSettings::setQuietStart(const QDateTime &value)
{
    writeDate(QString(quietStartKey), m_quietStart, value);
}

void AppSettings::setQuietEnd(const QDateTime &value)
{
    writeDate(QString(quietEndKey), m_quietEnd, value);
}

void AppSettings::setGraceUsedThisWeek(const std::optional<QDateTime> &value)
{
    m_graceUsedThisWeek = value;
    if (value)
        m_defaults->setDouble(QStringLiteral("graceUsedThisWeek"), secondsOf(*value));
    else
        m_defaults->remove(QStringLiteral("graceUsedThisWeek"));
    Q_EMIT changed(QStringLiteral("graceUsedThisWeek"));
}

void AppSettings::setGracePeriodStart(const QDateTime &value)
{
    writeDate(QStringLiteral("gracePeriodStart"), m_gracePeriodStart, value);
}

void AppSettings::setEveningReminderEnabled(bool value)
{
    writeBool(QStringLiteral("eveningReminderEnabled"), m_eveningReminderEnabled, value);
}

void AppSettings::setEveningReminderTime(const QDateTime &value)
{
    writeDate(QStringLiteral("eveningReminderTime"), m_eveningReminderTime, value);
}

void AppSettings::setDailySummaryEnabled(bool value)
{
    writeBool(QStringLiteral("dailySummaryEnabled"), m_dailySummaryEnabled, value);
}

void AppSettings::setDailySummaryTime(const QDateTime &value)
{
    writeDate(QStringLiteral("dailySummaryTime"), m_dailySummaryTime, value);
}

void AppSettings::setLaunchAtLogin(bool value)
{
    writeBool(QString(launchAtLoginKey), m_launchAtLogin, value);
}

void AppSettings::setHasCompletedOnboarding(bool value)
{
    writeBool(QStringLiteral("hasCompletedOnboarding"), m_hasCompletedOnboarding, value);
}

bool AppSettings::isInQuietHours(const QDateTime &date) const
{
    if (!m_quietHoursEnabled)
        return false;
    const int t = Days::minuteOfDay(date);
    const int s = Days::minuteOfDay(m_quietStart);
    const int e = Days::minuteOfDay(m_quietEnd);
    if (e >= s)
        return s <= t && t < e;
    return t >= s || t < e;
}

} // namespace ovlin
