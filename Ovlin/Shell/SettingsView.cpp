#include "Shell/SettingsView.h"

#include "Base/Defaults.h"
#include "Base/MainThread.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinSegmentedControl.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/OvlinTimeField.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/StackingRowLayout.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Model/AppSettings.h"
#include "Platform/LoginItem.h"
#include "Shell/SystemSound.h"

#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <vector>

namespace ovlin {

namespace {

const QString kSoundKey = QStringLiteral("notificationSound");

// The contact address: a tap opens it; no button look.
class ContactLink : public OvlinText
{
public:
    ContactLink(const QString &text, std::function<void()> onTap, QWidget *parent)
        : OvlinText(text, ThemeFonts::subheadline(), ThemeColors::primaryDark(), parent), m_onTap(std::move(onTap))
    {
        setCursor(Qt::PointingHandCursor);
        setSingleLine(true);
    }

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && m_onTap)
            m_onTap();
    }
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }

private:
    std::function<void()> m_onTap;
};

// One AppSettings property, read and written through its getter and setter.
template <typename T, typename Getter, typename Setter>
Binding<T> setting(AppSettings &settings, Getter getter, Setter setter)
{
    return {[&settings, getter] { return T((settings.*getter)()); },
            [&settings, setter](const T &value) { (settings.*setter)(value); }};
}

QVBoxLayout *column(QWidget *owner, double spacing)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(int(spacing));
    return layout;
}

OvlinText *text(const QString &value, const QFont &font, const QColor &color)
{
    return new OvlinText(value, font, color);
}

} // namespace

struct SettingsView::Rows
{
    struct Toggle
    {
        OvlinSwitch *button;
        std::function<bool()> get;
    };
    struct Field
    {
        OvlinTimeField *field;
        std::function<QDateTime()> get;
    };
    std::vector<Toggle> toggles;
    std::vector<Field> fields;
    QWidget *soundChoice = nullptr; // divider and chooser under "Play sound"
    QWidget *quietTimes = nullptr;  // divider and the two fields under "Mute reminders"
    QWidget *warningTime = nullptr; // under the evening warning
    QWidget *summaryTime = nullptr; // under the daily summary
    OvlinText *version = nullptr;
};

QString SettingsView::rawValue(NotificationSound sound)
{
    switch (sound) {
    case NotificationSound::chime: return QStringLiteral("chime");
    case NotificationSound::knock: return QStringLiteral("knock");
    case NotificationSound::ping: return QStringLiteral("ping");
    case NotificationSound::default_: return QStringLiteral("default");
    }
    return QStringLiteral("default");
}

std::optional<SettingsView::NotificationSound> SettingsView::notificationSoundFromRaw(const QString &raw)
{
    for (NotificationSound sound : allNotificationSounds) {
        if (rawValue(sound) == raw)
            return sound;
    }
    return std::nullopt;
}

QString SettingsView::title(NotificationSound sound)
{
    switch (sound) {
    case NotificationSound::chime: return QStringLiteral("Chime");
    case NotificationSound::knock: return QStringLiteral("Knock");
    case NotificationSound::ping: return QStringLiteral("Ping");
    case NotificationSound::default_: return QStringLiteral("Default");
    }
    return QStringLiteral("Default");
}

QString SettingsView::systemSoundName(NotificationSound sound)
{
    switch (sound) {
    case NotificationSound::chime: return QStringLiteral("Glass");
    case NotificationSound::knock: return QStringLiteral("Basso");
    case NotificationSound::ping: return QStringLiteral("Ping");
    case NotificationSound::default_: return QStringLiteral("Pop");
    }
    return QStringLiteral("Pop");
}

SettingsView::SettingsView(QWidget *parent) : SettingsView(Environment{}, parent)
{
}

SettingsView::SettingsView(Environment environment, QWidget *parent)
    : QScrollArea(parent), m_environment(std::move(environment)), m_settings(AppSettings::shared()),
      m_rows(std::make_unique<Rows>())
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Tab goes to the settings' controls, not to the area around them.
    setFocusPolicy(Qt::NoFocus);
    m_lastLaunchAtLogin = m_settings.launchAtLogin();
    build();
    connect(&m_settings, &AppSettings::changed, this, &SettingsView::onSettingChanged);
}

SettingsView::~SettingsView() = default;

SoundLibrary &SettingsView::sounds() const
{
    return m_environment.sounds ? *m_environment.sounds : SoundLibrary::shared();
}

QString SettingsView::notificationSoundRaw() const
{
    return Defaults::standard().stringValue(kSoundKey).value_or(QStringLiteral("default"));
}

void SettingsView::setNotificationSoundRaw(const QString &raw)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QString old = notificationSoundRaw();
    Defaults::standard().setString(kSoundKey, raw);
    if (m_soundChooser)
        static_cast<OvlinSegmentedControlBase *>(m_soundChooser)->refresh();
    if (raw != old)
        onSoundChoiceChange(old, raw);
}

SettingsView::NotificationSound SettingsView::selectedSound() const
{
    return notificationSoundFromRaw(notificationSoundRaw()).value_or(NotificationSound::default_);
}

void SettingsView::setSelectedSound(NotificationSound sound)
{
    setNotificationSoundRaw(rawValue(sound));
}

void SettingsView::onSoundChoiceChange(const QString &, const QString &newValue)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_settings.soundEnabled())
        return;
    if (const auto sound = notificationSoundFromRaw(newValue))
        playSoundPreview(*sound);
}

void SettingsView::playSoundPreview(NotificationSound sound)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_previewSound)
        m_previewSound->stop();
    if (std::shared_ptr<SystemSound> named = sounds().soundNamed(systemSoundName(sound))) {
        named->play();
        m_previewSound = std::move(named);
    } else {
        sounds().alertBeep();
    }
}

void SettingsView::onSettingChanged(const QString &key)
{
    OVLIN_ASSERT_MAIN_THREAD();
    syncFromSettings();
    if (key == AppSettings::launchAtLoginKey) {
        const bool old = m_lastLaunchAtLogin;
        m_lastLaunchAtLogin = m_settings.launchAtLogin();
        if (old != m_lastLaunchAtLogin)
            onLaunchAtLoginChange(old, m_lastLaunchAtLogin);
    }
}

void SettingsView::onLaunchAtLoginChange(bool, bool newValue)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_isUpdatingLaunchAtLogin)
        return;
    setLaunchAtLogin(newValue);
}

void SettingsView::setLaunchAtLogin(bool wanted)
{
    OVLIN_ASSERT_MAIN_THREAD();
    bool succeeded = false;
    if (m_environment.setLoginItem) {
        succeeded = m_environment.setLoginItem(wanted);
    } else {
        LoginItem item;
        succeeded = wanted ? item.register_() : item.unregister();
    }
    if (succeeded)
        return;
    // The switch goes back to where it was; the revert itself must not register again.
    m_isUpdatingLaunchAtLogin = true;
    m_settings.setLaunchAtLogin(!wanted);
    m_isUpdatingLaunchAtLogin = false;
}

QString SettingsView::contactAddress()
{
    return QStringLiteral("hello@kelvo.design");
}

void SettingsView::openContactLink()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QUrl url(QStringLiteral("mailto:") + contactAddress(), QUrl::StrictMode);
    if (!url.isValid())
        return;
    if (m_environment.openUrl)
        m_environment.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

QString SettingsView::versionText(const ProgramVersion &version)
{
    if (version.version && version.build)
        return QStringLiteral("Version %1 (%2)").arg(*version.version, *version.build);
    return QStringLiteral("Version 1.0");
}

SettingsView::ProgramVersion SettingsView::programVersion()
{
    return {QStringLiteral(OVLIN_VERSION), QStringLiteral(OVLIN_BUILD_NUMBER)};
}

QString SettingsView::shownVersionText() const
{
    return m_rows->version ? m_rows->version->text() : QString();
}

OvlinSwitch *SettingsView::toggle(const QString &accessibilityLabel) const
{
    for (const auto &row : m_rows->toggles) {
        if (row.button->accessibleName() == accessibilityLabel)
            return row.button;
    }
    return nullptr;
}

OvlinTimeField *SettingsView::timeField(const QString &accessibilityLabel) const
{
    for (const auto &row : m_rows->fields) {
        if (row.field->accessibleName() == accessibilityLabel)
            return row.field;
    }
    return nullptr;
}

void SettingsView::syncFromSettings()
{
    for (const auto &row : m_rows->toggles) {
        const bool on = row.get();
        if (row.button->isChecked() != on) {
            const QSignalBlocker blocker(row.button);
            row.button->setChecked(on);
        }
    }
    for (const auto &row : m_rows->fields)
        row.field->setSelection(row.get());
    m_rows->soundChoice->setVisible(m_settings.soundEnabled());
    m_rows->quietTimes->setVisible(m_settings.quietHoursEnabled());
    m_rows->warningTime->setVisible(m_settings.eveningReminderEnabled());
    m_rows->summaryTime->setVisible(m_settings.dailySummaryEnabled());
}

QWidget *SettingsView::toggleRow(const QString &title, const QString &subtitle, const Binding<bool> &setting,
                                 const QString &accessibilityLabel)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(int(LayoutTokens::spacingXL));

    auto *texts = new QWidget;
    auto *textColumn = column(texts, LayoutTokens::spacingXXS);
    textColumn->addWidget(text(title, ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary()));
    textColumn->addWidget(text(subtitle, ThemeFonts::subheadline(), ThemeColors::textSecondary()));
    texts->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    layout->addWidget(texts, 1, Qt::AlignVCenter);

    auto *button = new OvlinSwitch;
    button->setAccessibleName(accessibilityLabel.isEmpty() ? title : accessibilityLabel);
    button->setChecked(setting.get());
    connect(button, &QAbstractButton::toggled, this, [set = setting.set](bool on) {
        OVLIN_ASSERT_MAIN_THREAD();
        set(on);
    });
    layout->addWidget(button, 0, Qt::AlignVCenter);
    m_rows->toggles.push_back({button, setting.get});
    return row;
}

QWidget *SettingsView::timeFieldColumn(const QString &label, const Binding<QDateTime> &setting,
                                       const QString &accessibilityLabel)
{
    auto *box = new QWidget;
    auto *layout = column(box, LayoutTokens::spacingXS);
    layout->addWidget(text(label, ThemeFonts::subheadline(), ThemeColors::textSecondary()));
    auto *field = new OvlinTimeField(setting.get(), 5, 220);
    field->setAccessibleName(accessibilityLabel);
    connect(field, &OvlinTimeField::selectionChanged, this, [set = setting.set](const QDateTime &moment) {
        OVLIN_ASSERT_MAIN_THREAD();
        set(moment);
    });
    layout->addWidget(field, 0, Qt::AlignLeft);
    m_rows->fields.push_back({field, setting.get});
    box->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    return box;
}

QWidget *SettingsView::section(const QString &title, QWidget *rows)
{
    auto *box = new QWidget;
    auto *layout = column(box, LayoutTokens::spacingLG);
    layout->addWidget(new SectionHeader(title, std::nullopt));
    layout->addWidget(new OvlinCard(LayoutTokens::spacingXL, ThemeColors::surface(), {}, false, true, rows));
    return box;
}

void SettingsView::build()
{
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, ThemeColors::background());
    setPalette(pal);
    setBackgroundRole(QPalette::Window);
    setAutoFillBackground(true);

    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("settingsContent"));
    content->setAutoFillBackground(true);
    content->setPalette(pal);
    auto *sections = column(content, LayoutTokens::spacingXXL);
    const int pad = int(LayoutTokens::spacingXXL);
    sections->setContentsMargins(pad, pad, pad, pad);

    sections->addWidget(soundSection());
    sections->addWidget(quietHoursSection());
    sections->addWidget(behaviorSection());
    sections->addWidget(startupSection());
    sections->addWidget(aboutSection());
    sections->addStretch(1);
    setWidget(content);
    syncFromSettings();
}

QWidget *SettingsView::soundSection()
{
    auto *rows = new QWidget;
    auto *layout = column(rows, LayoutTokens::spacingLG);
    layout->addWidget(toggleRow(QStringLiteral("Play sound"), QStringLiteral("Plays a sound with every notification."),
                                setting<bool>(m_settings, &AppSettings::soundEnabled, &AppSettings::setSoundEnabled),
                                QStringLiteral("Sound alerts")));
    m_rows->soundChoice = new QWidget;
    auto *extra = column(m_rows->soundChoice, LayoutTokens::spacingLG);
    extra->addWidget(new DividerLine);
    auto *choice = new QWidget;
    auto *choiceLayout = column(choice, LayoutTokens::spacingSM);
    choiceLayout->addWidget(
        text(QStringLiteral("Sound choice"), ThemeFonts::subheadline(), ThemeColors::textSecondary()));
    QList<OvlinSegmentedOption<NotificationSound>> options;
    for (NotificationSound sound : allNotificationSounds)
        options.append({sound, title(sound)});
    auto *chooser = new OvlinSegmentedControl<NotificationSound>(
        Binding<NotificationSound>{[this] { return selectedSound(); },
                                   [this](const NotificationSound &sound) { setSelectedSound(sound); }},
        options);
    chooser->setAccessibleName(QStringLiteral("Choose notification sound"));
    m_soundChooser = chooser;
    choiceLayout->addWidget(chooser);
    extra->addWidget(choice);
    layout->addWidget(m_rows->soundChoice);
    return section(QStringLiteral("Sound"), rows);
}

// The screen only writes the settings; the application delegate plans the pending notifications again
// when the quiet hours change, so a mute also covers those planned before it.
QWidget *SettingsView::quietHoursSection()
{
    auto *rows = new QWidget;
    auto *layout = column(rows, LayoutTokens::spacingLG);
    layout->addWidget(
        toggleRow(QStringLiteral("Mute reminders"), QStringLiteral("No notifications during this window."),
                  setting<bool>(m_settings, &AppSettings::quietHoursEnabled, &AppSettings::setQuietHoursEnabled),
                  QStringLiteral("Quiet hours")));
    m_rows->quietTimes = new QWidget;
    auto *extra = column(m_rows->quietTimes, LayoutTokens::spacingLG);
    extra->addWidget(new DividerLine);
    auto *fields = new QWidget;
    // Side by side where the card is wide enough; in a narrow window End goes under Start.
    auto *fieldRow = new StackingRowLayout(fields, int(LayoutTokens::spacingXXL), int(LayoutTokens::spacingLG));
    fieldRow->addWidget(
        timeFieldColumn(QStringLiteral("Start"),
                        setting<QDateTime>(m_settings, &AppSettings::quietStart, &AppSettings::setQuietStart),
                        QStringLiteral("Quiet hours start")),
        0, Qt::AlignVCenter);
    fieldRow->addWidget(
        timeFieldColumn(QStringLiteral("End"),
                        setting<QDateTime>(m_settings, &AppSettings::quietEnd, &AppSettings::setQuietEnd),
                        QStringLiteral("Quiet hours end")),
        0, Qt::AlignVCenter);
    fieldRow->addStretch(1);
    extra->addWidget(fields);
    layout->addWidget(m_rows->quietTimes);
    return section(QStringLiteral("Quiet hours"), rows);
}

QWidget *SettingsView::behaviorSection()
{
    auto *rows = new QWidget;
    auto *layout = column(rows, LayoutTokens::spacingLG);
    layout->addWidget(toggleRow(
        QStringLiteral("Evening streak-risk warning"),
        QStringLiteral("Warn me once if unresolved habits are about to cost the streak."),
        setting<bool>(m_settings, &AppSettings::eveningReminderEnabled, &AppSettings::setEveningReminderEnabled)));
    m_rows->warningTime = timeFieldColumn(
        QStringLiteral("Warning time"),
        setting<QDateTime>(m_settings, &AppSettings::eveningReminderTime, &AppSettings::setEveningReminderTime),
        QStringLiteral("Evening warning time"));
    layout->addWidget(m_rows->warningTime);
    layout->addWidget(new DividerLine);
    layout->addWidget(toggleRow(
        QStringLiteral("End-of-day summary"), QStringLiteral("Send one closing read on how the day actually went."),
        setting<bool>(m_settings, &AppSettings::dailySummaryEnabled, &AppSettings::setDailySummaryEnabled)));
    m_rows->summaryTime = timeFieldColumn(
        QStringLiteral("Summary time"),
        setting<QDateTime>(m_settings, &AppSettings::dailySummaryTime, &AppSettings::setDailySummaryTime),
        QStringLiteral("Daily summary time"));
    layout->addWidget(m_rows->summaryTime);
    return section(QStringLiteral("Behavior"), rows);
}

// The card holds its one row directly.
QWidget *SettingsView::startupSection()
{
    return section(QStringLiteral("Startup"),
                   toggleRow(QStringLiteral("Launch at login"),
                             QStringLiteral("Start when you log in so you can't quietly avoid it."),
                             setting<bool>(m_settings, &AppSettings::launchAtLogin, &AppSettings::setLaunchAtLogin),
                             QStringLiteral("Launch Ovlin at login")));
}

QWidget *SettingsView::aboutSection()
{
    auto *rows = new QWidget;
    auto *layout = column(rows, LayoutTokens::spacingLG);
    auto *identity = new QWidget;
    auto *identityColumn = column(identity, LayoutTokens::spacingXS);
    auto *name = text(QStringLiteral("Ovlin"), ThemeFonts::bodyEmphasis(), ThemeColors::textPrimary());
    name->setSingleLine(true);
    identityColumn->addWidget(name);
    m_rows->version = text(versionText(m_environment.version.value_or(programVersion())), ThemeFonts::caption(),
                           ThemeColors::textSecondary());
    m_rows->version->setSingleLine(true);
    identityColumn->addWidget(m_rows->version);
    auto *identityRow = new QHBoxLayout;
    identityRow->addWidget(identity, 0, Qt::AlignVCenter);
    identityRow->addStretch(1);
    layout->addLayout(identityRow);
    layout->addWidget(new DividerLine);
    auto *maker = new QWidget;
    auto *makerColumn = column(maker, LayoutTokens::spacingXS);
    makerColumn->addWidget(
        text(QStringLiteral("Built by Kelvo Design AB"), ThemeFonts::subheadline(), ThemeColors::textSecondary()));
    auto *link = new ContactLink(
        contactAddress(), [this] { openContactLink(); }, maker);
    link->setAccessibleName(QStringLiteral("Email Kelvo Design AB"));
    makerColumn->addWidget(link, 0, Qt::AlignLeft);
    layout->addWidget(maker);
    return section(QStringLiteral("About"), rows);
}

} // namespace ovlin
