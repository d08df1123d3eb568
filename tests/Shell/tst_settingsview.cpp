#include "Support/EngineTestSupport.h"
#include "Support/LayoutTestSupport.h"

#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinSegmentedControl.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/OvlinTimeField.h"
#include "Model/AppSettings.h"
#include "Platform/LoginItem.h"
#include "Shell/SettingsView.h"
#include "Shell/SystemSound.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using Sound = SettingsView::NotificationSound;

namespace {

// Sounds that only write down what happens to them.
class FakeSoundLibrary : public SoundLibrary
{
public:
    class Sound : public SystemSound
    {
    public:
        Sound(QString name, QStringList *log) : m_name(std::move(name)), m_log(log) {}
        QString name() const override { return m_name; }
        void play() override { *m_log << QStringLiteral("play ") + m_name; }
        void stop() override { *m_log << QStringLiteral("stop ") + m_name; }

    private:
        QString m_name;
        QStringList *m_log;
    };

    std::shared_ptr<SystemSound> soundNamed(const QString &name) override
    {
        if (!available.contains(name))
            return nullptr;
        return std::make_shared<Sound>(name, &log);
    }
    void alertBeep() override { log << QStringLiteral("beep"); }

    QSet<QString> available{QStringLiteral("Glass"), QStringLiteral("Basso"), QStringLiteral("Ping"),
                            QStringLiteral("Pop")};
    QStringList log;
};

QTime timeOf(const QDateTime &moment)
{
    return moment.toLocalTime().time();
}

QString fieldText(OvlinTimeField *field)
{
    return field->hourText() + QLatin1Char(':') + field->minuteText();
}

void clickSegment(SettingsView &view, Sound sound)
{
    auto *chooser = static_cast<OvlinSegmentedControlBase *>(view.soundChooser());
    chooser->segment(int(sound))->click();
}

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    FakeSoundLibrary m_sounds;
    QList<bool> m_loginCalls;
    bool m_loginSucceeds = true;

    SettingsView::Environment fakeEnvironment()
    {
        SettingsView::Environment env;
        env.sounds = &m_sounds;
        env.setLoginItem = [this](bool wanted) {
            m_loginCalls << wanted;
            return m_loginSucceeds;
        };
        return env;
    }

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        Clock::setNow(enginetest::at(QDate(2026, 6, 10), 14, 0));
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings();
        m_sounds = FakeSoundLibrary();
        m_loginCalls.clear();
        m_loginSucceeds = true;
    }
    void cleanup() { Clock::useSystemTime(); }

    void firstLaunchShowsTheDefaults()
    {
        SettingsView view(fakeEnvironment());
        view.resize(640, 900);
        view.show();
        QVERIFY(view.toggle(QStringLiteral("Sound alerts"))->isChecked());
        QVERIFY(!view.soundChooser()->isHidden());
        QCOMPARE(view.selectedSound(), Sound::default_);
        auto *chooser = static_cast<OvlinSegmentedControlBase *>(view.soundChooser());
        QCOMPARE(chooser->segmentCount(), 4);
        QStringList titles;
        for (int i = 0; i < 4; ++i)
            titles << chooser->segment(i)->text();
        QCOMPARE(titles, (QStringList{"Chime", "Knock", "Ping", "Default"}));
        QVERIFY(!view.toggle(QStringLiteral("Quiet hours"))->isChecked());
        QVERIFY(!view.timeField(QStringLiteral("Quiet hours start"))->isVisibleTo(&view));
        QVERIFY(view.toggle(QStringLiteral("Evening streak-risk warning"))->isChecked());
        QVERIFY(view.toggle(QStringLiteral("End-of-day summary"))->isChecked());
        QCOMPARE(fieldText(view.timeField(QStringLiteral("Evening warning time"))), QStringLiteral("20:00"));
        QCOMPARE(fieldText(view.timeField(QStringLiteral("Daily summary time"))), QStringLiteral("21:30"));
        QVERIFY(!view.toggle(QStringLiteral("Launch Ovlin at login"))->isChecked());
        QStringList texts;
        for (const OvlinText *t : view.findChildren<OvlinText *>())
            texts << t->text();
        QVERIFY(texts.contains(QStringLiteral("Start when you log in so you can't quietly avoid it.")));
        QVERIFY(m_sounds.log.isEmpty());
    }

    void togglesWriteTheirSetting_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("initially");
        auto row = [](const char *name, const QString &label, const QString &key, bool initially) {
            QTest::newRow(name) << label << key << initially;
        };
        row("sound", "Sound alerts", "soundEnabled", true);
        row("quiet hours", "Quiet hours", "quietHoursEnabled", false);
        row("evening warning", "Evening streak-risk warning", "eveningReminderEnabled", true);
        row("daily summary", "End-of-day summary", "dailySummaryEnabled", true);
        row("launch at login", "Launch Ovlin at login", "launchAtLogin", false);
    }

    void togglesWriteTheirSetting()
    {
        QFETCH(QString, label);
        QFETCH(QString, key);
        QFETCH(bool, initially);
        SettingsView view(fakeEnvironment());
        view.show();
        OvlinSwitch *toggle = view.toggle(label);
        QVERIFY(toggle);
        QCOMPARE(toggle->isChecked(), initially);
        toggle->click();
        QCOMPARE(toggle->isChecked(), !initially);
        QCOMPARE(Defaults::standard().boolValue(key), std::optional<bool>(!initially));
        // And the stored value reaches the switch when it changes elsewhere.
        AppSettings::shared().setQuietHoursEnabled(true);
        AppSettings::shared().setSoundEnabled(true);
        QVERIFY(view.toggle(QStringLiteral("Quiet hours"))->isChecked());
    }

    void rowsFollowTheirToggle()
    {
        SettingsView view(fakeEnvironment());
        view.resize(640, 1200);
        view.show();
        AppSettings &settings = AppSettings::shared();

        settings.setQuietHoursEnabled(true);
        OvlinTimeField *start = view.timeField(QStringLiteral("Quiet hours start"));
        OvlinTimeField *end = view.timeField(QStringLiteral("Quiet hours end"));
        QVERIFY(start->isVisibleTo(&view));
        QCOMPARE(fieldText(start), QStringLiteral("22:00"));
        QCOMPARE(fieldText(end), QStringLiteral("07:00"));
        // Side by side, on the left.
        const QPoint startAt = start->mapTo(&view, QPoint());
        const QPoint endAt = end->mapTo(&view, QPoint());
        QCOMPARE(startAt.y(), endAt.y());
        QVERIFY(endAt.x() > startAt.x() + start->width());

        settings.setSoundEnabled(false);
        QVERIFY(!view.soundChooser()->isVisibleTo(&view));
        settings.setEveningReminderEnabled(false);
        QVERIFY(!view.timeField(QStringLiteral("Evening warning time"))->isVisibleTo(&view));
        QVERIFY(view.timeField(QStringLiteral("Daily summary time"))->isVisibleTo(&view));
        settings.setDailySummaryEnabled(false);
        QVERIFY(!view.timeField(QStringLiteral("Daily summary time"))->isVisibleTo(&view));
    }

    // The screen in a main window of these widths (the sidebar and margins take 224) with every optional
    // row shown: it fits the window's width and cuts nothing; wide enough, Start and End share a row.
    void fitsASmallWindow_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<bool>("fieldsSideBySide");
        QTest::newRow("700") << 700 << false;
        QTest::newRow("800") << 800 << false;
        QTest::newRow("860") << 860 << true;
        QTest::newRow("1100") << 1100 << true;
    }

    void fitsASmallWindow()
    {
        QFETCH(int, windowWidth);
        QFETCH(bool, fieldsSideBySide);
        AppSettings::shared().setQuietHoursEnabled(true);
        SettingsView view(fakeEnvironment());
        view.resize(windowWidth - 224, 520 - 16);
        view.show();
        QCoreApplication::processEvents();
        QWidget *area = view.viewport();
        QCOMPARE(view.horizontalScrollBar()->maximum(), 0);
        QVERIFY(view.widget()->width() <= area->width());
        QCOMPARE(layouttest::cutTexts(view.widget(), area), QStringList());
        QCOMPARE(layouttest::controlsOutside(view.widget(), area), QStringList());
        auto *chooser = static_cast<OvlinSegmentedControlBase *>(view.soundChooser());
        for (int i = 0; i < chooser->segmentCount(); ++i)
            QVERIFY2(chooser->segment(i)->width() >= chooser->segment(i)->sizeHint().width() - 1,
                     qPrintable(chooser->segment(i)->text()));
        for (const char *label :
             {"Quiet hours start", "Quiet hours end", "Evening warning time", "Daily summary time"}) {
            const OvlinTimeField *field = view.timeField(QLatin1String(label));
            const int left = field->mapTo(area, QPoint()).x();
            QVERIFY2(left >= 0 && left + field->width() <= area->width(), label);
        }
        // The quiet hours switch can still be turned off where it is.
        OvlinSwitch *quiet = view.toggle(QStringLiteral("Quiet hours"));
        QVERIFY(quiet->mapTo(area, QPoint(quiet->width(), 0)).x() <= area->width());

        const QPoint start = view.timeField(QStringLiteral("Quiet hours start"))->mapTo(&view, QPoint());
        const QPoint end = view.timeField(QStringLiteral("Quiet hours end"))->mapTo(&view, QPoint());
        if (fieldsSideBySide) {
            // As before: one row, 32 apart, from the card's leading edge.
            QCOMPARE(end.y(), start.y());
            QCOMPARE(end.x() - start.x(), 220 + 32);
        } else {
            QCOMPARE(end.x(), start.x());
            QVERIFY(end.y() > start.y());
        }
    }

    void timeFieldsWriteTheirSetting()
    {
        SettingsView view(fakeEnvironment());
        view.show();
        OvlinTimeField *warning = view.timeField(QStringLiteral("Evening warning time"));
        warning->incrementMinute();
        QCOMPARE(timeOf(AppSettings::shared().eveningReminderTime()), QTime(20, 5));
        warning->decrementHour();
        QCOMPARE(timeOf(AppSettings::shared().eveningReminderTime()), QTime(19, 5));
        QVERIFY(Defaults::standard().numberValue(QStringLiteral("eveningReminderTime")).has_value());
    }

    void soundPreviews()
    {
        SettingsView view(fakeEnvironment());
        view.show();
        clickSegment(view, Sound::knock);
        QCOMPARE(m_sounds.log, QStringList{"play Basso"});
        QCOMPARE(Defaults::standard().stringValue(QStringLiteral("notificationSound")),
                 std::optional<QString>("knock"));
        QCOMPARE(view.previewSound()->name(), QStringLiteral("Basso"));
        clickSegment(view, Sound::ping);
        QCOMPARE(m_sounds.log, (QStringList{"play Basso", "stop Basso", "play Ping"}));
        // The selected segment again: no change, no preview.
        clickSegment(view, Sound::ping);
        QCOMPARE(m_sounds.log.size(), 3);
        QCOMPARE(view.selectedSound(), Sound::ping);
    }

    void previewSoundNames_data()
    {
        QTest::addColumn<int>("sound");
        QTest::addColumn<QString>("raw");
        QTest::addColumn<QString>("played");
        auto row = [](Sound sound, const QString &raw, const QString &played) {
            QTest::newRow(qPrintable(raw)) << int(sound) << raw << played;
        };
        row(Sound::chime, "chime", "Glass");
        row(Sound::knock, "knock", "Basso");
        row(Sound::ping, "ping", "Ping");
        row(Sound::default_, "default", "Pop");
    }

    void previewSoundNames()
    {
        QFETCH(int, sound);
        QFETCH(QString, raw);
        QFETCH(QString, played);
        QCOMPARE(SettingsView::rawValue(Sound(sound)), raw);
        QCOMPARE(SettingsView::notificationSoundFromRaw(raw), std::optional<Sound>(Sound(sound)));
        QCOMPARE(SettingsView::systemSoundName(Sound(sound)), played);
        Defaults::standard().setString(QStringLiteral("notificationSound"), QStringLiteral("something else"));
        SettingsView view(fakeEnvironment());
        view.setNotificationSoundRaw(raw);
        QCOMPARE(m_sounds.log, QStringList{"play " + played});
    }

    void noPreviewWithSoundOffOrForUnknownText()
    {
        SettingsView view(fakeEnvironment());
        AppSettings::shared().setSoundEnabled(false);
        view.setNotificationSoundRaw(QStringLiteral("chime"));
        AppSettings::shared().setSoundEnabled(true);
        view.setNotificationSoundRaw(QStringLiteral("Chime"));
        QCOMPARE(view.selectedSound(), Sound::default_);
        QVERIFY(!SettingsView::notificationSoundFromRaw(QStringLiteral("Chime")));
        // The odd text stays until the user picks a segment.
        QCOMPARE(Defaults::standard().stringValue(QStringLiteral("notificationSound")),
                 std::optional<QString>("Chime"));
        QVERIFY(m_sounds.log.isEmpty());
    }

    void aMissingSoundBeepsAndKeepsTheLastPreview()
    {
        SettingsView view(fakeEnvironment());
        view.setNotificationSoundRaw(QStringLiteral("chime"));
        m_sounds.available.remove(QStringLiteral("Basso"));
        view.setNotificationSoundRaw(QStringLiteral("knock"));
        QCOMPARE(m_sounds.log, (QStringList{"play Glass", "stop Glass", "beep"}));
        QCOMPARE(view.previewSound()->name(), QStringLiteral("Glass"));
    }

    void loginItemFollowsTheSwitch_data()
    {
        QTest::addColumn<bool>("wanted");
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("switching on") << true << true;
        QTest::newRow("switching off") << false << true;
        QTest::newRow("failing to switch on") << true << false;
        QTest::newRow("failing to switch off") << false << false;
    }

    void loginItemFollowsTheSwitch()
    {
        QFETCH(bool, wanted);
        QFETCH(bool, succeeds);
        AppSettings::shared().setLaunchAtLogin(!wanted);
        m_loginCalls.clear();
        SettingsView view(fakeEnvironment());
        view.show();
        m_loginSucceeds = succeeds;
        OvlinSwitch *toggle = view.toggle(QStringLiteral("Launch Ovlin at login"));
        toggle->click();
        QCOMPARE(m_loginCalls, QList<bool>{wanted});
        // A failed registration switches back.
        const bool now = succeeds ? wanted : !wanted;
        QCOMPARE(toggle->isChecked(), now);
        QCOMPARE(AppSettings::shared().launchAtLogin(), now);
        QCOMPARE(Defaults::standard().boolValue(QStringLiteral("launchAtLogin")), std::optional<bool>(now));
        QVERIFY(!view.isUpdatingLaunchAtLogin());
        // The same value written again is no change.
        AppSettings::shared().setLaunchAtLogin(now);
        QCOMPARE(m_loginCalls.size(), 1);
    }

    void theRealLoginItem()
    {
        SettingsView::Environment env;
        env.sounds = &m_sounds;
        SettingsView view(env);
        view.show();
        LoginItem item;
        QVERIFY(item.entryPath().startsWith(m_config->path()));
        view.toggle(QStringLiteral("Launch Ovlin at login"))->click();
        QVERIFY(QFile::exists(item.entryPath()));
        view.toggle(QStringLiteral("Launch Ovlin at login"))->click();
        QVERIFY(!QFile::exists(item.entryPath()));

        // A file where the autostart folder should be: registration fails and the switch goes back.
        QVERIFY(QDir(m_config->filePath(QStringLiteral("autostart"))).removeRecursively());
        QFile blocker(m_config->filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        view.toggle(QStringLiteral("Launch Ovlin at login"))->click();
        QVERIFY(!view.toggle(QStringLiteral("Launch Ovlin at login"))->isChecked());
        QCOMPARE(AppSettings::shared().launchAtLogin(), false);
    }

    void desktopSoundsByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("eventId");
        QTest::addColumn<bool>("installed");
        auto row = [](const char *name, const QString &eventId, bool installed) {
            QTest::newRow(name) << QString::fromLatin1(name) << eventId << installed;
        };
        row("Glass", "complete", true);
        row("Basso", "dialog-warning", true);
        row("Ping", "message-new-instant", false);
        row("Pop", "message", true);
        row("Sosumi", "", false);
    }

    void desktopSoundsByName()
    {
        QFETCH(QString, name);
        QFETCH(QString, eventId);
        QFETCH(bool, installed);
        QTemporaryDir data;
        const QString stereo = data.filePath(QStringLiteral("sounds/freedesktop/stereo"));
        QVERIFY(QDir().mkpath(stereo));
        for (const char *file : {"complete.oga", "dialog-warning.ogg", "message.wav"}) {
            QFile sound(stereo + QLatin1Char('/') + QLatin1String(file));
            QVERIFY(sound.open(QIODevice::WriteOnly));
        }
        const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.filePath(QStringLiteral("home"))));
        CanberraSoundLibrary library;
        QCOMPARE(CanberraSoundLibrary::eventId(name), eventId);
        const std::shared_ptr<SystemSound> sound = library.soundNamed(name);
        QCOMPARE(bool(sound), installed);
        if (sound)
            QCOMPARE(sound->name(), name);
        qputenv("XDG_DATA_DIRS", dataDirs);
        qputenv("XDG_DATA_HOME", dataHome);
    }

    void versionText_data()
    {
        QTest::addColumn<std::optional<QString>>("version");
        QTest::addColumn<std::optional<QString>>("build");
        QTest::addColumn<QString>("text");
        const std::optional<QString> none;
        QTest::newRow("both") << std::optional<QString>("1.2") << std::optional<QString>("34") << "Version 1.2 (34)";
        QTest::newRow("no build") << std::optional<QString>("1.2") << none << "Version 1.0";
        QTest::newRow("no version") << none << std::optional<QString>("34") << "Version 1.0";
        QTest::newRow("neither") << none << none << "Version 1.0";
    }

    void versionText()
    {
        QFETCH(std::optional<QString>, version);
        QFETCH(std::optional<QString>, build);
        QFETCH(QString, text);
        const SettingsView::ProgramVersion program{version, build};
        QCOMPARE(SettingsView::versionText(program), text);
        SettingsView::Environment env = fakeEnvironment();
        env.version = program;
        SettingsView view(env);
        QCOMPARE(view.shownVersionText(), text);
    }

    void programVersionIsShown()
    {
        SettingsView view(fakeEnvironment());
        QCOMPARE(
            view.shownVersionText(),
            QStringLiteral("Version %1 (%2)").arg(QStringLiteral(OVLIN_VERSION), QStringLiteral(OVLIN_BUILD_NUMBER)));
    }

    void contactLinkOpensMail()
    {
        QList<QUrl> opened;
        SettingsView::Environment env = fakeEnvironment();
        env.openUrl = [&opened](const QUrl &url) { opened << url; };
        SettingsView view(env);
        view.resize(640, 1400);
        view.show();
        QWidget *link = nullptr;
        for (QWidget *w : view.findChildren<QWidget *>())
            if (w->accessibleName() == QLatin1String("Email Kelvo Design AB"))
                link = w;
        QVERIFY(link);
        QTest::mouseClick(link, Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:") + SettingsView::contactAddress())});
    }
};

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
