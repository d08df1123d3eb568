#pragma once

#include "DesignSystem/Binding.h"

#include <QDateTime>
#include <QPointer>
#include <QScrollArea>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class QAbstractButton;

namespace ovlin {

class AppSettings;
class OvlinTimeField;
class SoundLibrary;
class OvlinSwitch;
class SystemSound;

// The Settings screen: sound, quiet hours, the evening warning and the daily summary with their times,
// launch at login, and the About block. Every control writes straight through to AppSettings; the screen
// itself only previews sounds, registers the login item (switching back when that fails) and shows the
// version. Main thread only.
class SettingsView : public QScrollArea
{
    Q_OBJECT

public:
    // The notification sound the user picks here. Only this screen reads the choice.
    enum class NotificationSound { chime, knock, ping, default_ };
    static constexpr std::array<NotificationSound, 4> allNotificationSounds{
        NotificationSound::chime, NotificationSound::knock, NotificationSound::ping, NotificationSound::default_};
    static QString rawValue(NotificationSound sound);
    // Exactly the four raw values; anything else gives nothing.
    static std::optional<NotificationSound> notificationSoundFromRaw(const QString &raw);
    static QString title(NotificationSound sound);
    // The desktop sound a preview plays.
    static QString systemSoundName(NotificationSound sound);

    // The version and build number the About card shows; either may be unknown.
    struct ProgramVersion
    {
        std::optional<QString> version;
        std::optional<QString> build;
    };

    // What the screen reaches outside the application.
    struct Environment
    {
        // Null: SoundLibrary::shared().
        SoundLibrary *sounds = nullptr;
        // Registers (true) or unregisters (false) the login item; answers whether that worked.
        // Null: Ovlin's XDG autostart entry.
        std::function<bool(bool wanted)> setLoginItem;
        // Null: the desktop's handler for the URL.
        std::function<void(const QUrl &)> openUrl;
        // Null: the version compiled into the program.
        std::optional<ProgramVersion> version;
    };

    explicit SettingsView(QWidget *parent = nullptr);
    explicit SettingsView(Environment environment, QWidget *parent = nullptr);
    ~SettingsView() override;

    // The stored choice, key "notificationSound", "default" when none is stored.
    QString notificationSoundRaw() const;
    // Stores the choice; a different value than before runs the sound-choice change handler.
    void setNotificationSoundRaw(const QString &raw);
    // The stored choice as a case, "Default" for text that names none.
    NotificationSound selectedSound() const;
    void setSelectedSound(NotificationSound sound);

    // The sound the last preview started.
    std::shared_ptr<SystemSound> previewSound() const { return m_previewSound; }
    bool isUpdatingLaunchAtLogin() const { return m_isUpdatingLaunchAtLogin; }

    // Stops the running preview and plays the case's sound (the alert sound when the desktop has none).
    void playSoundPreview(NotificationSound sound);
    // Registers or unregisters the login item; on failure the setting is switched back.
    void setLaunchAtLogin(bool wanted);
    // Opens "mailto:" and the contact address.
    void openContactLink();

    // "Version <version> (<build>)" when both are known, else "Version 1.0".
    static QString versionText(const ProgramVersion &version);
    // The version and build number compiled into the program.
    static ProgramVersion programVersion();
    static QString contactAddress();
    QString shownVersionText() const;

    // The switch of a toggle row, by its accessibility label.
    OvlinSwitch *toggle(const QString &accessibilityLabel) const;
    // A time field, by its accessibility label.
    OvlinTimeField *timeField(const QString &accessibilityLabel) const;
    QWidget *soundChooser() const { return m_soundChooser; }

private:
    struct Rows;

    void build();
    QWidget *soundSection();
    QWidget *quietHoursSection();
    QWidget *behaviorSection();
    QWidget *startupSection();
    QWidget *aboutSection();
    QWidget *section(const QString &title, QWidget *rows);
    QWidget *toggleRow(const QString &title, const QString &subtitle, const Binding<bool> &setting,
                       const QString &accessibilityLabel = {});
    QWidget *timeFieldColumn(const QString &label, const Binding<QDateTime> &setting,
                             const QString &accessibilityLabel);
    void onSettingChanged(const QString &key);
    void onSoundChoiceChange(const QString &oldValue, const QString &newValue);
    void onLaunchAtLoginChange(bool oldValue, bool newValue);
    void syncFromSettings();
    SoundLibrary &sounds() const;

    Environment m_environment;
    AppSettings &m_settings;
    std::shared_ptr<SystemSound> m_previewSound;
    bool m_isUpdatingLaunchAtLogin = false;
    bool m_lastLaunchAtLogin = false;
    std::unique_ptr<Rows> m_rows;
    QWidget *m_soundChooser = nullptr;
};

} // namespace ovlin
