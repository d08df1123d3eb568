#pragma once

#include "Model/Enums.h"

#include <QDateTime>
#include <QObject>

#include <memory>
#include <optional>

namespace ovlin {

class Defaults;

// The application's settings. Loaded once from the user defaults when first used; each change is
// written straight back to its key. Nothing reloads them during the run.
class AppSettings : public QObject
{
    Q_OBJECT

public:
    static AppSettings &shared();
    // Forgets the shared instance so the next shared() loads again (tests).
    static void resetSharedForTesting();

    explicit AppSettings(std::shared_ptr<Defaults> defaults, QObject *parent = nullptr);
    ~AppSettings() override;

    bool soundEnabled() const { return m_soundEnabled; }
    void setSoundEnabled(bool value);
    bool quietHoursEnabled() const { return m_quietHoursEnabled; }
    void setQuietHoursEnabled(bool value);
    QDateTime quietStart() const { return m_quietStart; }
    void setQuietStart(const QDateTime &value);
    QDateTime quietEnd() const { return m_quietEnd; }
    void setQuietEnd(const QDateTime &value);
    AppTheme theme() const { return m_theme; }
    bool gracePeriodEnabled() const { return m_gracePeriodEnabled; }
    std::optional<QDateTime> graceUsedThisWeek() const { return m_graceUsedThisWeek; }
    void setGraceUsedThisWeek(const std::optional<QDateTime> &value);
    QDateTime gracePeriodStart() const { return m_gracePeriodStart; }
    void setGracePeriodStart(const QDateTime &value);
    double streakThreshold() const { return m_streakThreshold; }
    bool eveningReminderEnabled() const { return m_eveningReminderEnabled; }
    void setEveningReminderEnabled(bool value);
    QDateTime eveningReminderTime() const { return m_eveningReminderTime; }
    void setEveningReminderTime(const QDateTime &value);
    bool dailySummaryEnabled() const { return m_dailySummaryEnabled; }
    void setDailySummaryEnabled(bool value);
    QDateTime dailySummaryTime() const { return m_dailySummaryTime; }
    void setDailySummaryTime(const QDateTime &value);
    qint64 graceDaysPerWeek() const { return m_graceDaysPerWeek; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    void setLaunchAtLogin(bool value);
    bool hasCompletedOnboarding() const { return m_hasCompletedOnboarding; }
    void setHasCompletedOnboarding(bool value);
    QDateTime firstLaunchDate() const { return m_firstLaunchDate; }

    // Keys as changed() names them, for those that act on a change.
    static constexpr QLatin1String launchAtLoginKey{"launchAtLogin"};
    static constexpr QLatin1String quietHoursEnabledKey{"quietHoursEnabled"};
    static constexpr QLatin1String quietStartKey{"quietStart"};
    static constexpr QLatin1String quietEndKey{"quietEnd"};

    // Whether the time of day of `date` falls in the quiet window (start minute in, end minute out).
    bool isInQuietHours(const QDateTime &date) const;

Q_SIGNALS:
    // A property changed; `key` is its user-defaults key.
    void changed(const QString &key);

private:
    void writeBool(const QString &key, bool &field, bool value);
    void writeDate(const QString &key, QDateTime &field, const QDateTime &value);

    std::shared_ptr<Defaults> m_defaults;
    bool m_soundEnabled = true;
    bool m_quietHoursEnabled = false;
    QDateTime m_quietStart;
    QDateTime m_quietEnd;
    AppTheme m_theme = AppTheme::system;
    bool m_gracePeriodEnabled = true;
    std::optional<QDateTime> m_graceUsedThisWeek;
    QDateTime m_gracePeriodStart;
    double m_streakThreshold = 0.8;
    bool m_eveningReminderEnabled = true;
    QDateTime m_eveningReminderTime;
    bool m_dailySummaryEnabled = true;
    QDateTime m_dailySummaryTime;
    qint64 m_graceDaysPerWeek = 1;
    bool m_launchAtLogin = false;
    bool m_hasCompletedOnboarding = false;
    QDateTime m_firstLaunchDate;
};

} // namespace ovlin
