// The habits screen: texts, counters, sections, the pause switch, Edit, New habit and the delete
// confirmation, through the screen's public face.
#include "Support/CopyTestSupport.h"
#include "Support/LayoutTestSupport.h"
#include "Support/TodayTestSupport.h"

#include "Copy/CopyEngine.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/OvlinConfirmationOverlay.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/OvlinSwitch.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ThemeColors.h"
#include "ScreenParts/TodayWidgets.h"
#include "Today/HabitListView.h"

#include <QAbstractAnimation>
#include <QAbstractButton>
#include <QFontMetricsF>
#include <QLayout>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace todaytest;

namespace {

QWidget *sectionsHolder(const HabitListView &view)
{
    return view.findChild<QWidget *>(QStringLiteral("habitSections"));
}

// "meal: Breakfast, Lunch | water: Sip"
QString sections(const HabitListView &view)
{
    QStringList parts;
    for (QWidget *section : layoutWidgets(sectionsHolder(view))) {
        if (section->objectName() != QLatin1String("categorySection"))
            continue;
        QStringList titles;
        for (auto *row : section->findChildren<QWidget *>(QStringLiteral("habitRow")))
            titles << row->accessibleName().section(QStringLiteral(", "), 0, 0);
        parts << section->property("category").toString() + QStringLiteral(": ") + titles.join(QStringLiteral(", "));
    }
    return parts.join(QStringLiteral(" | "));
}

QStringList counters(const HabitListView &view)
{
    QStringList texts;
    for (QWidget *w : layoutWidgets(view.findChild<QWidget *>(QStringLiteral("habitCounters")))) {
        if (auto *pill = qobject_cast<today::Pill *>(w))
            texts << pill->text() + (pill->fill() == ThemeColors::green200() ? QStringLiteral(" *") : QString());
    }
    return texts;
}

QWidget *rowOf(const HabitListView &view, const Reminder &reminder)
{
    const QString id = reminder.id().toString(QUuid::WithoutBraces);
    for (QWidget *section : layoutWidgets(sectionsHolder(view))) {
        for (auto *row : section->findChildren<QWidget *>(QStringLiteral("habitRow"))) {
            if (row->property("reminderId").toString() == id)
                return row;
        }
    }
    return nullptr;
}

QAbstractButton *buttonNamed(const QWidget *root, const QString &name)
{
    for (auto *button : root->findChildren<QAbstractButton *>()) {
        if (button->accessibleName() == name)
            return button;
    }
    return nullptr;
}

// Animation time that moves only when the test says so.
class SteppedAnimationTime : public QAnimationDriver
{
public:
    qint64 elapsed() const override { return m_elapsed; }
    // Animations join the clock a turn or two of the event loop after they start: let them, then move
    // it on.
    void step(qint64 ms)
    {
        for (int turn = 0; turn < 3; ++turn)
            QCoreApplication::processEvents();
        m_elapsed += ms;
        advance();
    }

protected:
    // Like the platform's driver, counts from its own start.
    void start() override
    {
        m_elapsed = 0;
        QAnimationDriver::start();
    }

private:
    qint64 m_elapsed = 0;
};

} // namespace

class TestHabitsScreen : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    std::unique_ptr<HabitListView> m_view;

    StoreContext *context() const { return m_store->mainContext(); }

    HabitListView &show()
    {
        context()->save();
        m_view = std::make_unique<HabitListView>(context());
        m_view->resize(900, 1200);
        m_view->show();
        settle(*m_view);
        return *m_view;
    }

    std::shared_ptr<Reminder> habit(const QString &title, ReminderCategory category, int createdMinute,
                                    bool active = true)
    {
        ReminderSpec spec = fixedAt(title, 9, 0, category);
        spec.createdAt = at(kWednesday.addDays(-10), 8, createdMinute);
        spec.isActive = active;
        return makeReminder(context(), spec);
    }

private Q_SLOTS:
    void initTestCase()
    {
        Motion::setAnimationsEnabled(false);
        // The app's own style: its scroll bar takes the width the screen has at a given window size.
        OvlinStyle::applyToApplication();
    }

    void init()
    {
        resetSettings();
        Clock::setNow(at(kWednesday, 12, 0));
        m_store = openStore();
    }

    void cleanup()
    {
        m_view.reset();
        m_store.reset();
        Clock::useSystemTime();
    }

    void scheduleSummary_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<std::optional<QTime>>("fixed");
        QTest::addColumn<std::optional<qint64>>("minutes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fixed time") << "fixedTime" << std::optional<QTime>(QTime(7, 30)) << std::optional<qint64>()
                                    << "07:30";
        QTest::newRow("fixed time without one")
            << "fixedTime" << std::optional<QTime>() << std::optional<qint64>() << "Fixed time";
        QTest::newRow("interval") << "interval" << std::optional<QTime>() << std::optional<qint64>(45)
                                  << "Every 45 min";
        QTest::newRow("interval without minutes")
            << "interval" << std::optional<QTime>() << std::optional<qint64>() << "Interval";
        QTest::newRow("combined shows neither")
            << "combined" << std::optional<QTime>(QTime(7, 30)) << std::optional<qint64>(30) << "Combined";
        QTest::newRow("unknown type reads as fixed time")
            << "hourly" << std::optional<QTime>(QTime(18, 5)) << std::optional<qint64>(30) << "18:05";
    }

    void scheduleSummary()
    {
        QFETCH(QString, type);
        QFETCH(std::optional<QTime>, fixed);
        QFETCH(std::optional<qint64>, minutes);
        QFETCH(QString, expected);
        ReminderSpec spec;
        spec.fixedTime = fixed;
        spec.intervalMinutes = minutes;
        auto reminder = makeReminder(nullptr, spec);
        reminder->setScheduleType(type);
        QCOMPARE(HabitListView::scheduleSummary(*reminder), expected);
    }

    void daysSummary_data()
    {
        QTest::addColumn<QList<qint64>>("raw");
        QTest::addColumn<QString>("expected");
        QTest::newRow("all seven") << QList<qint64>{7, 6, 5, 4, 3, 2, 1} << "Every day";
        QTest::newRow("stored order does not matter") << QList<qint64>{5, 1, 3} << "M W F";
        QTest::newRow("weekend") << QList<qint64>{6, 7} << "S S";
        QTest::newRow("none") << QList<qint64>{} << "";
        QTest::newRow("seven entries with a repeat are not every day")
            << QList<qint64>{1, 1, 2, 3, 4, 5, 6} << "M T W T F S";
        QTest::newRow("every day with a repeat") << QList<qint64>{1, 2, 3, 4, 5, 6, 7, 7} << "Every day";
        QTest::newRow("stray numbers left out") << QList<qint64>{0, 2, 9} << "T";
    }

    void daysSummary()
    {
        QFETCH(QList<qint64>, raw);
        QFETCH(QString, expected);
        ReminderSpec spec;
        spec.activeDaysRaw = raw;
        auto reminder = makeReminder(nullptr, spec);
        QCOMPARE(HabitListView::daysSummary(reminder->activeDays()), expected);
    }

    void emptyScreen()
    {
        auto &view = show();
        QCOMPARE(counters(view), (QStringList{"0 Total", "0 Live *", "0 Paused"}));
        QVERIFY(view.emptyState());
        QCOMPARE(view.emptyState()->title(), QStringLiteral("No habits yet"));
        QCOMPARE(view.emptyState()->icon(), QStringLiteral("list.bullet"));
        QCOMPARE(view.emptyState()->imageAsset(), std::nullopt);
        QVERIFY(CopyEngine::pool(CopyTrigger::emptyReminders).contains(view.emptyState()->message()));
        QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), view.emptyState()->message());
        QCOMPARE(sections(view), QString());
        QSignalSpy requested(&view, &HabitListView::newHabitRequested);
        QCOMPARE(view.emptyState()->actionButton()->text(), QStringLiteral("Add your first habit"));
        QTest::mouseClick(view.emptyState()->actionButton(), Qt::LeftButton);
        QCOMPARE(requested.count(), 1);
    }

    // Each visit builds the screen anew: one pick of the phrase when it is shown, never the last one shown.
    void consecutiveVisitsNeverRepeatThePhrase()
    {
        const copytest::CountedPicks picks;
        std::optional<QString> previous = CopyEngine::shared().lastShown(CopyTrigger::emptyReminders);
        for (int visit = 0; visit < 12; ++visit) {
            const int before = picks.count();
            auto &view = show();
            const QString phrase = view.emptyState()->message();
            QVERIFY(CopyEngine::pool(CopyTrigger::emptyReminders).contains(phrase));
            QCOMPARE(picks.count() - before, 1);
            QVERIFY2(std::optional<QString>(phrase) != previous, qPrintable(phrase));
            QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), phrase);
            previous = phrase;
            m_view.reset();
        }
    }

    void countersAndSections()
    {
        habit("Breathe", ReminderCategory::meditation, 0);
        habit("Lunch", ReminderCategory::meal, 1, false);
        habit("Sip", ReminderCategory::water, 2);
        habit("Breakfast", ReminderCategory::meal, 3);
        auto odd = habit("Odd", ReminderCategory::general, 4, false);
        odd->setCategory(QStringLiteral("juggling"));
        auto &view = show();
        QCOMPARE(counters(view), (QStringList{"5 Total", "3 Live *", "2 Paused"}));
        QCOMPARE(sections(view), QStringLiteral("meal: Lunch, Breakfast | water: Sip | meditation: Breathe | "
                                                "general: Odd"));
        QCOMPARE(view.activeCategories(),
                 (QList<ReminderCategory>{ReminderCategory::meal, ReminderCategory::water, ReminderCategory::meditation,
                                          ReminderCategory::general}));
        QVERIFY(!view.emptyState());
    }

    // The schedule, state and days follow one another from the line's leading edge, which is its right
    // edge in a right-to-left layout.
    void detailLineStaysPackedUnderALongTitle_data()
    {
        QTest::addColumn<Qt::LayoutDirection>("direction");
        QTest::newRow("left to right") << Qt::LeftToRight;
        QTest::newRow("right to left") << Qt::RightToLeft;
    }

    void detailLineStaysPackedUnderALongTitle()
    {
        QFETCH(Qt::LayoutDirection, direction);
        QGuiApplication::setLayoutDirection(direction);
        const auto restore = qScopeGuard([] { QGuiApplication::setLayoutDirection(Qt::LeftToRight); });
        auto reminder = habit(QStringLiteral("Walk around the block twice before the evening news starts"),
                              ReminderCategory::movement, 0);
        auto &view = show();
        QWidget *row = rowOf(view, *reminder);
        QVERIFY(row);
        const auto *schedule = row->findChild<QWidget *>(QStringLiteral("scheduleText"));
        const auto *pill = row->findChild<QWidget *>(QStringLiteral("statusPill"));
        const auto *days = row->findChild<QWidget *>(QStringLiteral("daysText"));
        // Where a part starts, counted from the line's leading edge.
        const auto start = [direction](const QWidget *part) {
            return direction == Qt::LeftToRight ? part->x()
                                                : part->parentWidget()->width() - (part->x() + part->width());
        };
        QCOMPARE(start(schedule), 0);
        QCOMPARE(start(pill) - (start(schedule) + schedule->width()), int(LayoutTokens::spacingSM));
        QCOMPARE(start(days) - (start(pill) + pill->width()), int(LayoutTokens::spacingSM));
        // The row itself mirrors too: its texts lead, its buttons trail.
        const auto *texts = row->findChild<QWidget *>(QStringLiteral("habitTexts"));
        QVERIFY(texts);
        const auto inRow = [row](const QWidget *w) { return QRect(w->mapTo(row, QPoint()), w->size()); };
        const QList<QAbstractButton *> buttons = row->findChildren<QAbstractButton *>();
        const auto edit = std::find_if(buttons.cbegin(), buttons.cend(),
                                       [](const QAbstractButton *b) { return b->text() == QStringLiteral("Edit"); });
        QVERIFY(edit != buttons.cend());
        QVERIFY2(direction == Qt::LeftToRight ? inRow(*edit).left() > inRow(texts).right()
                                              : inRow(*edit).right() < inRow(texts).left(),
                 "Edit trails the texts");
    }

    // The header's title and subtitle wrap short of "New habit" in a small window; wider they are as
    // they were, one line each, beside the scroll bar of a screen that scrolls, as at the window's usual
    // height.
    void headerTextsLeaveRoomForTheButton_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<Qt::LayoutDirection>("direction");
        for (const int width : {700, 800, 860, 1100})
            QTest::addRow("%d", width) << width << Qt::LeftToRight;
        // The button goes to the left; the texts beside it move clear of it.
        for (const int width : {700, 860})
            QTest::addRow("%d, right to left", width) << width << Qt::RightToLeft;
    }

    void headerTextsLeaveRoomForTheButton()
    {
        QFETCH(int, windowWidth);
        QFETCH(Qt::LayoutDirection, direction);
        QGuiApplication::setLayoutDirection(direction);
        const auto restore = qScopeGuard([] { QGuiApplication::setLayoutDirection(Qt::LeftToRight); });
        habit("Walk", ReminderCategory::movement, 0);
        context()->save();
        m_view = std::make_unique<HabitListView>(context());
        m_view->resize(windowWidth - int(LayoutTokens::sidebarWidth + 3 * LayoutTokens::spacingSM), 300);
        m_view->show();
        settle(*m_view);
        QVERIFY(m_view->scrollArea()->verticalScrollBar()->isVisible());
        auto *card = m_view->findChild<QWidget *>(QStringLiteral("habitsHeaderCard"));
        QVERIFY(card);
        QCOMPARE(
            layouttest::headerProblems(card, m_view->newHabitButton(), m_view->scrollArea()->viewport(), windowWidth),
            QStringList());
    }

    // The main window is 700 wide at least; its sidebar and margins take 224 of that from the screen.
    void rowTextsStayReadableInANarrowWindow_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<bool>("longTexts");
        for (const int width : {700, 760, 860, 1100}) {
            QTest::addRow("%d, short texts", width) << width << false;
            QTest::addRow("%d, long texts", width) << width << true;
        }
    }

    void rowTextsStayReadableInANarrowWindow()
    {
        QFETCH(int, windowWidth);
        QFETCH(bool, longTexts);
        ReminderSpec spec = fixedAt(QStringLiteral("Drink water"), 10, 15);
        if (longTexts) {
            spec = intervalFrom(QStringLiteral("Walk around the block twice before the evening news starts"),
                                QTime(9, 0), QTime(18, 0), 45);
            spec.activeDaysRaw = {1, 2, 3, 4, 5};
        }
        const auto reminder = makeReminder(context(), spec);
        context()->save();
        m_view = std::make_unique<HabitListView>(context());
        m_view->resize(windowWidth - int(LayoutTokens::sidebarWidth + 3 * LayoutTokens::spacingSM), 520);
        m_view->show();
        settle(*m_view);

        QWidget *row = rowOf(*m_view, *reminder);
        QVERIFY(row);
        QWidget *viewport = m_view->scrollArea()->viewport();
        const auto right = [viewport](const QWidget *w) { return w->mapTo(viewport, QPoint(w->width(), 0)).x(); };
        // Nothing is cut off at the screen's edge.
        QVERIFY(right(row) <= viewport->width());

        const auto *column = row->findChild<QWidget *>(QStringLiteral("habitTexts"));
        QList<const OvlinText *> texts;
        for (const auto *text : column->findChildren<OvlinText *>()) {
            if (text->text() == reminder->title())
                texts.prepend(text);
        }
        texts << row->findChild<OvlinText *>(QStringLiteral("scheduleText"))
              << row->findChild<OvlinText *>(QStringLiteral("daysText"));
        QCOMPARE(texts.size(), 3);
        QCOMPARE(texts[1]->text(), longTexts ? QStringLiteral("Every 45 min") : QStringLiteral("10:15"));
        QCOMPARE(texts[2]->text(), longTexts ? QStringLiteral("M T W T F") : QStringLiteral("Every day"));
        for (const OvlinText *text : texts) {
            QVERIFY2(text->width() > 0, qPrintable(text->text()));
            QVERIFY2(right(text) <= right(row), qPrintable(text->text()));
            // What the label draws: the whole text, or its start and an ellipsis.
            const QString shown = QFontMetricsF(text->font()).elidedText(text->text(), Qt::ElideRight, text->width());
            if (!longTexts)
                QCOMPARE(shown, text->text());
            else if (shown != text->text())
                QVERIFY2(shown.endsWith(QChar(0x2026)) && shown.chopped(1).trimmed().size() >= 3,
                         qPrintable(text->text() + QStringLiteral(" shows as ") + shown));
        }

        // From 860 on the buttons sit beside the texts, on the row's middle line; at 760 too beside the
        // short texts, on two lines.
        const auto *buttons = row->findChild<QWidget *>(QStringLiteral("deleteButton"))->parentWidget();
        const int middle = row->height() / 2;
        const bool besideTexts = buttons->x() > column->x() + column->width() &&
                                 std::abs(buttons->geometry().center().y() - middle) <= 1 &&
                                 std::abs(column->mapTo(row, column->rect().center()).y() - middle) <= 1;
        QCOMPARE(besideTexts, windowWidth >= 860 || (windowWidth >= 760 && !longTexts));
        QVERIFY(right(buttons) <= right(row));
    }

    // A row keeps its buttons beside its texts while its schedule and days texts are whole there, on one
    // line or, short of room, on two; only then do the buttons go under, rather than cut a short word.
    // The screen scrolls, as at the window's usual height, so the scroll bar takes its width too.
    void rowsWrapRatherThanCutAShortWord_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<QStringList>("buttonsUnder"); // the rows whose buttons go under their texts
        QTest::addColumn<QStringList>("twoLines");     // the rows whose schedule and days take two lines
        QTest::newRow("700") << 700 << QStringList{"Walk", "Stretch", "Stand up", "Move"} << QStringList{};
        QTest::newRow("800") << 800 << QStringList{} << QStringList{"Walk", "Stretch", "Stand up", "Move"};
        QTest::newRow("860") << 860 << QStringList{} << QStringList{"Stand up", "Move"};
        QTest::newRow("1100") << 1100 << QStringList{} << QStringList{};
    }

    void rowsWrapRatherThanCutAShortWord()
    {
        QFETCH(int, windowWidth);
        QFETCH(QStringList, buttonsUnder);
        QFETCH(QStringList, twoLines);
        ReminderSpec combined = fixedAt(QStringLiteral("Stretch"), 8, 0, ReminderCategory::movement);
        combined.scheduleType = ScheduleType::combined;
        combined.intervalMinutes = 90;
        ReminderSpec weekdays = intervalFrom(QStringLiteral("Stand up"), QTime(9, 0), QTime(17, 0), 60);
        weekdays.category = ReminderCategory::movement;
        weekdays.activeDaysRaw = {1, 2, 3, 4, 5};
        weekdays.isActive = false;
        // "Every 60 min", "Active", "Every day".
        ReminderSpec hourly = intervalFrom(QStringLiteral("Move"), QTime(9, 0), QTime(17, 0), 60);
        hourly.category = ReminderCategory::movement;
        for (const ReminderSpec &spec :
             {fixedAt(QStringLiteral("Walk"), 18, 0, ReminderCategory::movement), combined, weekdays, hourly})
            makeReminder(context(), spec);
        context()->save();
        m_view = std::make_unique<HabitListView>(context());
        m_view->resize(windowWidth - int(LayoutTokens::sidebarWidth + 3 * LayoutTokens::spacingSM), 520);
        m_view->show();
        settle(*m_view);
        QVERIFY(m_view->scrollArea()->verticalScrollBar()->isVisible());

        const auto rows = m_view->findChildren<QWidget *>(QStringLiteral("habitRow"));
        QCOMPARE(rows.size(), 4);
        QStringList under;
        QStringList wrapped;
        for (const QWidget *row : rows) {
            const QString title = row->accessibleName().section(QStringLiteral(", "), 0, 0);
            const auto *column = row->findChild<QWidget *>(QStringLiteral("habitTexts"));
            const auto *buttons = row->findChild<QWidget *>(QStringLiteral("deleteButton"))->parentWidget();
            if (buttons->x() < column->x() + column->width())
                under << title;
            const auto *schedule = row->findChild<OvlinText *>(QStringLiteral("scheduleText"));
            const auto *days = row->findChild<OvlinText *>(QStringLiteral("daysText"));
            if (days->y() > schedule->y() + schedule->height())
                wrapped << title;
            // Shown whole, beside the buttons or under them: the schedule ("Combined" among them), the days.
            for (const OvlinText *text : {schedule, days})
                QVERIFY2(text->width() >= text->sizeHint().width(),
                         qPrintable(QStringLiteral("%1 in %2 px").arg(text->text()).arg(text->width())));
        }
        under.sort();
        wrapped.sort();
        buttonsUnder.sort();
        twoLines.sort();
        QCOMPARE(under, buttonsUnder);
        QCOMPARE(wrapped, twoLines);
    }

    void switchPausesAndResumes()
    {
        RecordingHooks hooks;
        auto reminder = habit("Walk", ReminderCategory::movement, 0);
        auto &view = show();
        QCOMPARE(view.viewModel()->modelContext(), context());
        auto *toggle = rowOf(view, *reminder)->findChild<OvlinSwitch *>();
        QCOMPARE(toggle->accessibleName(), QStringLiteral("Active"));
        QCOMPARE(toggle->scale(), 0.92);
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(!reminder->isActive());
        QVERIFY(!context()->hasChanges());
        QCOMPARE(hooks.calls, QStringList{"cancel Walk present"});
        settle(view);
        QCOMPARE(counters(view), (QStringList{"1 Total", "0 Live *", "1 Paused"}));
        toggle = rowOf(view, *reminder)->findChild<OvlinSwitch *>();
        QCOMPARE(toggle->accessibleName(), QStringLiteral("Inactive"));
        QVERIFY(!toggle->isChecked());
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(reminder->isActive());
        QCOMPARE(hooks.calls, (QStringList{"cancel Walk present", "schedule Walk active"}));
    }

    // Flipping the switch rebuilds the row; the knob slides to the other end all the same (and is there at
    // once while animations are off).
    void switchKnobSlides_data()
    {
        QTest::addColumn<bool>("wasActive");
        QTest::addColumn<bool>("animated");
        QTest::newRow("pausing") << true << true;
        QTest::newRow("resuming") << false << true;
        QTest::newRow("pausing, animations off") << true << false;
    }

    void switchKnobSlides()
    {
        QFETCH(bool, wasActive);
        QFETCH(bool, animated);
        auto reminder = habit("Walk", ReminderCategory::movement, 0, wasActive);
        auto &view = show();
        SteppedAnimationTime time;
        time.install();
        Motion::setAnimationsEnabled(animated);
        const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });
        const double from = wasActive ? 1 : 0;
        const double to = 1 - from;

        QTest::mouseClick(rowOf(view, *reminder)->findChild<OvlinSwitch *>(), Qt::LeftButton);
        settle(view);
        auto *toggle = rowOf(view, *reminder)->findChild<OvlinSwitch *>();
        QCOMPARE(toggle->isChecked(), !wasActive);
        if (!animated) {
            QCOMPARE(toggle->knobPosition(), to);
            return;
        }
        QCOMPARE(toggle->knobPosition(), from);
        time.step(60);
        const double midway = toggle->knobPosition();
        QVERIFY2(std::abs(midway - from) > 0.1 && std::abs(midway - to) > 0.1, qPrintable(QString::number(midway)));
        time.step(200);
        QCOMPARE(toggle->knobPosition(), to);
    }

    void editAndNewHabitAskTheWindow()
    {
        auto reminder = habit("Walk", ReminderCategory::movement, 0);
        auto &view = show();
        QSignalSpy edits(&view, &HabitListView::editRequested);
        QSignalSpy news(&view, &HabitListView::newHabitRequested);
        QTest::mouseClick(buttonNamed(rowOf(view, *reminder), "Edit Walk"), Qt::LeftButton);
        QCOMPARE(edits.count(), 1);
        QCOMPARE(edits.first().first().value<std::shared_ptr<Reminder>>(), reminder);
        QCOMPARE(view.newHabitButton()->accessibleName(), QStringLiteral("Add new habit"));
        QTest::mouseClick(view.newHabitButton(), Qt::LeftButton);
        QCOMPARE(news.count(), 1);
    }

    void deleteThenCancelKeepsTheHabit()
    {
        auto reminder = habit("Walk", ReminderCategory::movement, 0);
        auto &view = show();
        QTest::mouseClick(buttonNamed(rowOf(view, *reminder), "Delete Walk"), Qt::LeftButton);
        QCOMPARE(view.reminderPendingDelete(), reminder);
        QVERIFY(view.confirmationDialog());
        QVERIFY(view.dimmingLayer()->isVisible());
        QCOMPARE(view.dimmingLayer()->geometry(), view.rect());

        // The wash swallows clicks and changes nothing.
        QTest::mouseClick(view.dimmingLayer(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(view.reminderPendingDelete(), reminder);

        QTest::mouseClick(view.confirmationDialog()->cancelButton(), Qt::LeftButton);
        QCOMPARE(view.reminderPendingDelete(), nullptr);
        QVERIFY(!view.confirmationDialog());
        settle(view);
        QVERIFY(!reminder->isDeleted());
        QVERIFY(rowOf(view, *reminder));
    }

    void deleteThenConfirmRemovesHabitAndSection()
    {
        RecordingHooks hooks;
        auto walk = habit("Walk", ReminderCategory::movement, 0);
        auto sip = habit("Sip", ReminderCategory::water, 1);
        addLog(walk, at(kWednesday, 9, 0), LogStatus::completed);
        auto &view = show();
        QTest::mouseClick(buttonNamed(rowOf(view, *walk), "Delete Walk"), Qt::LeftButton);
        QCOMPARE(view.confirmationDialog()->confirmButton()->text(), QStringLiteral("Delete"));
        QTest::mouseClick(view.confirmationDialog()->confirmButton(), Qt::LeftButton);
        QVERIFY(walk->isDeleted());
        QCOMPARE(context()->fetchCount<ReminderLog>(), 0);
        QVERIFY(!context()->hasChanges());
        QCOMPARE(hooks.calls, QStringList{"cancel Walk present"});
        QCOMPARE(view.reminderPendingDelete(), nullptr);
        settle(view);
        QCOMPARE(sections(view), QStringLiteral("water: Sip"));
        QCOMPARE(counters(view), (QStringList{"1 Total", "1 Live *", "0 Paused"}));
        QTRY_VERIFY_WITH_TIMEOUT(!view.findChild<QWidget *>(QStringLiteral("deleteConfirmation")), 500);
    }

    void confirmationFadesOutBeforeItGoes()
    {
        auto reminder = habit("Walk", ReminderCategory::movement, 0);
        auto &view = show();
        SteppedAnimationTime time;
        time.install();
        Motion::setAnimationsEnabled(true);
        const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });
        QTest::mouseClick(buttonNamed(rowOf(view, *reminder), "Delete Walk"), Qt::LeftButton);
        time.step(200);
        QVERIFY(view.confirmationDialog() && view.confirmationDialog()->isVisible());
        QPointer<QWidget> leaving = view.dimmingLayer();

        QTest::mouseClick(view.confirmationDialog()->cancelButton(), Qt::LeftButton);
        QCOMPARE(view.reminderPendingDelete(), nullptr);
        QVERIFY(!view.confirmationDialog());
        // Still on screen, fading out over 180 ms, and gone only once transparent.
        QVERIFY(leaving && leaving->isVisible());
        auto *overlay = qobject_cast<OvlinConfirmationOverlay *>(leaving.data());
        QVERIFY(overlay);
        QCOMPARE(overlay->presence(), 1.0);
        QList<double> presences;
        for (int ms = 30; ms <= 150; ms += 30) {
            time.step(30);
            QVERIFY2(leaving->isVisible(), qPrintable(QStringLiteral("hidden after %1 ms").arg(ms)));
            presences << overlay->presence();
        }
        QVERIFY(std::is_sorted(presences.rbegin(), presences.rend()));
        QVERIFY(presences.first() < 1 && presences.last() > 0);
        time.step(25);
        QVERIFY(leaving->isVisible() && overlay->presence() > 0);
        time.step(10);
        QVERIFY(leaving && !leaving->isVisible());
        QCOMPARE(overlay->presence(), 0.0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!leaving);
        QVERIFY(!reminder->isDeleted());
    }

    void queryChangesReachTheViewModel()
    {
        auto &view = show();
        QVERIFY(view.viewModel()->reminders().isEmpty());
        auto reminder = habit("New", ReminderCategory::snack, 0);
        context()->save();
        settle(view);
        QCOMPARE(view.viewModel()->reminders(), QList<std::shared_ptr<Reminder>>{reminder});
        QCOMPARE(sections(view), QStringLiteral("snack: New"));
    }

    void placeholderStoreUntilFirstShown()
    {
        habit("Walk", ReminderCategory::movement, 0);
        context()->save();
        HabitListView view(context());
        QVERIFY(view.viewModel()->modelContext() != context());
        QVERIFY(view.viewModel()->reminders().isEmpty());
        QCOMPARE(view.queriedReminders().size(), 1); // the screen's own query sees the store at once
    }

    void unchangedRowsKeepTheirWidgets()
    {
        auto kept = habit("Kept", ReminderCategory::water, 0);
        auto paused = habit("Paused later", ReminderCategory::water, 1);
        auto &view = show();
        QPointer<QWidget> keptRow = rowOf(view, *kept);
        QPointer<QWidget> pausedRow = rowOf(view, *paused);
        QVERIFY(keptRow && pausedRow);
        view.viewModel()->setActive(false, paused);
        settle(view);
        QCOMPARE(rowOf(view, *kept), keptRow.data());
        QVERIFY(rowOf(view, *paused) != pausedRow.data());
        QVERIFY(rowOf(view, *paused));
    }
};

QTEST_MAIN(TestHabitsScreen)
#include "tst_habitsscreen.moc"
