#include "Editor/EditorTestSupport.h"

#include "Copy/CopyEngine.h"
#include "DesignSystem/DaySelector.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/NotificationPreview.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/OvlinTimeField.h"
#include "DesignSystem/ThemeFonts.h"
#include "DesignSystem/TimePicker.h"
#include "Editor/ReminderFormCategoryStep.h"
#include "Editor/ReminderFormFooter.h"
#include "Editor/ReminderFormNameStep.h"
#include "Editor/ReminderFormParts.h"
#include "Editor/ReminderFormPreviewStep.h"
#include "Editor/ReminderFormProgressBar.h"
#include "Editor/ReminderFormScheduleStep.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "Platform/Clock.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

using namespace ovlin;
using namespace editortest;

Q_DECLARE_METATYPE(ovlin::ScheduleType)
Q_DECLARE_METATYPE(ovlin::ReminderCategory)

namespace {

const QDateTime openedAt = QDateTime(QDate(2026, 6, 10), QTime(14, 23, 45));

QString accessibleValue(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->text(QAccessible::Value) : QString();
}

QAccessible::State accessibleState(QWidget *widget)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(widget);
    return iface ? iface->state() : QAccessible::State();
}

void click(QWidget *widget)
{
    QVERIFY(widget);
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

// Whether the footer shows the button (it may hold hidden ones).
bool shows(QWidget *button)
{
    return button->isVisibleTo(button->parentWidget());
}

QtMessageHandler g_previousHandler = nullptr;

// The offscreen platform says which window features it lacks; that is not the sheet's concern.
void quietPlatformNotes(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.startsWith(QLatin1String("This plugin does not support")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

} // namespace

class TestReminderFormView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    ScheduleRecorder m_recorder;
    QStringList m_signals;
    int m_dismissals = 0;

    StoreContext *context() const { return m_store->mainContext(); }

    // A shown sheet on the test store with every outside effect recorded.
    std::unique_ptr<ReminderFormView> makeSheet(std::shared_ptr<Reminder> reminder = nullptr, int width = 560,
                                                int height = 640, bool withContext = true)
    {
        auto sheet = std::make_unique<ReminderFormView>(std::move(reminder));
        if (withContext)
            sheet->setModelContext(context());
        sheet->setDismiss([this] { ++m_dismissals; });
        sheet->setSignalSender([this](const QString &name) { m_signals << name; });
        sheet->viewModel()->setScheduleReminder(m_recorder.function());
        sheet->setMinimumSize(0, 0);
        sheet->resize(width, height);
        sheet->show();
        QCoreApplication::processEvents();
        return sheet;
    }

    // Moves a new sheet on to `step` the way a user would.
    void advance(ReminderFormView &sheet, int step)
    {
        if (step >= 2 && ReminderFormViewModel::isBlank(sheet.viewModel()->title()))
            sheet.viewModel()->setTitle(QStringLiteral("Drink water"));
        while (sheet.currentStep() < step) {
            const int before = sheet.currentStep();
            click(sheet.footer()->nextButton());
            if (sheet.currentStep() == before)
                QFAIL("Next did not move on");
        }
    }

private slots:
    void initTestCase()
    {
        g_previousHandler = qInstallMessageHandler(quietPlatformNotes);
        Motion::setAnimationsEnabled(false);
        ThemeFonts::ensureLoaded();
    }

    void init()
    {
        Clock::setNow(openedAt);
        m_store = openStore();
        m_recorder = {};
        m_signals.clear();
        m_dismissals = 0;
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
        Motion::setAnimationsEnabled(false);
    }

    // MARK: Frame and step switch

    void opensAtStepOne_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<ReminderCategory>("selected");
        QTest::newRow("new") << false << "New reminder" << ReminderCategory::general;
        QTest::newRow("edit") << true << "Edit reminder" << ReminderCategory::movement;
    }

    void opensAtStepOne()
    {
        QFETCH(bool, editing);
        QFETCH(QString, title);
        QFETCH(ReminderCategory, selected);
        auto sheet = makeSheet(editing ? storedReminder(context()) : nullptr);
        QCOMPARE(sheet->currentStep(), 1);
        QCOMPARE(sheet->titleText(), title);
        QCOMPARE(sheet->stepCounterText(), QStringLiteral("Step 1 of 4"));
        QCOMPARE(sheet->viewModel()->isEditing(), editing);
        QVERIFY(sheet->categoryStep());
        for (const ReminderCategory category : allReminderCategories)
            QCOMPARE(sheet->categoryStep()->tile(category)->isSelected(), category == selected);
        QCOMPARE(sheet->closeButton()->accessibleName(), QStringLiteral("Close"));
    }

    void progressFill_data()
    {
        QTest::addColumn<int>("sheetWidth");
        QTest::addColumn<int>("step");
        QTest::addColumn<double>("fill");
        QTest::newRow("560, step 1") << 560 << 1 << 128.0;
        QTest::newRow("560, step 2") << 560 << 2 << 256.0;
        QTest::newRow("560, step 3") << 560 << 3 << 384.0;
        QTest::newRow("560, step 4") << 560 << 4 << 512.0;
        QTest::newRow("800, step 1") << 800 << 1 << 188.0;
    }

    void progressFill()
    {
        QFETCH(int, sheetWidth);
        QFETCH(int, step);
        QFETCH(double, fill);
        auto sheet = makeSheet(nullptr, sheetWidth);
        advance(*sheet, step);
        QCOMPARE(sheet->progressBar()->width(), sheetWidth - 48);
        QCOMPARE(sheet->progressBar()->height(), 4);
        QCOMPARE(sheet->progressBar()->currentFillWidth(), fill);
        QCOMPARE(sheet->stepCounterText(), QStringLiteral("Step %1 of 4").arg(step));
    }

    void progressFillRule_data()
    {
        QTest::addColumn<double>("barWidth");
        QTest::addColumn<int>("step");
        QTest::addColumn<int>("total");
        QTest::addColumn<double>("fill");
        QTest::newRow("quarter of 512") << 512.0 << 1 << 4 << 128.0;
        QTest::newRow("bar under 256 at step 1") << 200.0 << 1 << 4 << 64.0;
        QTest::newRow("empty bar") << 0.0 << 4 << 4 << 64.0;
        QTest::newRow("step beyond the end") << 512.0 << 5 << 4 << 640.0;
        QTest::newRow("no steps at all") << 512.0 << 1 << 0 << 64.0;
    }

    void progressFillRule()
    {
        QFETCH(double, barWidth);
        QFETCH(int, step);
        QFETCH(int, total);
        QFETCH(double, fill);
        QCOMPARE(ReminderFormProgressBar::fillWidth(barWidth, step, total), fill);
    }

    void onlyTheCurrentStepExists()
    {
        auto sheet = makeSheet();
        QPointer<QWidget> first = sheet->stepView();
        advance(*sheet, 2);
        QVERIFY(!sheet->categoryStep());
        QVERIFY(sheet->nameStep());
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 1000);
        advance(*sheet, 3);
        QVERIFY(sheet->scheduleStep());
        advance(*sheet, 4);
        QVERIFY(sheet->previewStep());
        click(sheet->footer()->backButton());
        QVERIFY(sheet->scheduleStep());
        QCOMPARE(sheet->currentStep(), 3);
    }

    void headerAndFooterStayWhileTheStepScrolls()
    {
        auto sheet = makeSheet(nullptr, 560, 480);
        sheet->viewModel()->setScheduleType(ScheduleType::combined);
        advance(*sheet, 3);
        QCoreApplication::processEvents();
        QScrollBar *bar = sheet->contentArea()->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QVERIFY(sheet->scrollIndicator()->isVisible());
        const QPoint close = sheet->closeButton()->mapTo(sheet.get(), QPoint());
        const QPoint next = sheet->footer()->nextButton()->mapTo(sheet.get(), QPoint());
        const QPoint step = sheet->stepView()->mapTo(sheet.get(), QPoint());
        sheet->scrollIndicator()->setValue(bar->maximum());
        QCOMPARE(bar->value(), bar->maximum());
        QCOMPARE(sheet->closeButton()->mapTo(sheet.get(), QPoint()), close);
        QCOMPARE(sheet->footer()->nextButton()->mapTo(sheet.get(), QPoint()), next);
        QVERIFY(sheet->stepView()->mapTo(sheet.get(), QPoint()).y() < step.y());
        // A new step starts at the top.
        click(sheet->footer()->nextButton());
        QCOMPARE(bar->value(), 0);
    }

    void contentWidth_data()
    {
        QTest::addColumn<int>("sheetWidth");
        QTest::addColumn<int>("columnWidth");
        QTest::newRow("minimum width") << 560 << 512;
        QTest::newRow("608: exactly fits") << 608 << 560;
        QTest::newRow("wide sheet") << 900 << 560;
    }

    void contentWidth()
    {
        QFETCH(int, sheetWidth);
        QFETCH(int, columnWidth);
        auto sheet = makeSheet(nullptr, sheetWidth, 1000);
        QCOMPARE(sheet->contentColumn()->width(), columnWidth);
        QCOMPARE(sheet->stepView()->width(), columnWidth);
        // The scroll bar lies over the padding, not over the step.
        sheet->resize(sheetWidth, 480);
        QCoreApplication::processEvents();
        QCOMPARE(sheet->contentColumn()->width(), columnWidth);
    }

    void stepChangesAreAnimated()
    {
        auto sheet = makeSheet();
        Motion::setAnimationsEnabled(true);
        advance(*sheet, 2);
        QVERIFY(sheet->progressBar()->isAnimating());
        QVERIFY(sheet->stepView()->graphicsEffect());
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->progressBar()->isAnimating(), 2000);
        QCOMPARE(sheet->progressBar()->currentFillWidth(), 256.0);
        QTRY_VERIFY_WITH_TIMEOUT(!sheet->stepView()->graphicsEffect(), 2000);
    }

    // MARK: Footer

    void footerPerStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<bool>("back");
        QTest::addColumn<bool>("next");
        QTest::addColumn<bool>("save");
        QTest::newRow("1") << 1 << false << false << true << false;
        QTest::newRow("2") << 2 << false << true << true << false;
        QTest::newRow("3") << 3 << false << true << true << false;
        QTest::newRow("4") << 4 << true << true << false << true;
    }

    void footerPerStep()
    {
        QFETCH(int, step);
        QFETCH(bool, cancel);
        QFETCH(bool, back);
        QFETCH(bool, next);
        QFETCH(bool, save);
        auto sheet = makeSheet();
        advance(*sheet, step);
        ReminderFormFooter *footer = sheet->footer();
        QCOMPARE(shows(footer->cancelButton()), cancel);
        QCOMPARE(shows(footer->backButton()), back);
        QCOMPARE(shows(footer->nextButton()), next);
        QCOMPARE(shows(footer->saveButton()), save);
        QCOMPARE(footer->cancelButton()->accessibleName(), QStringLiteral("Cancel"));
        QCOMPARE(footer->backButton()->accessibleName(), QStringLiteral("Go to previous step"));
        QCOMPARE(footer->nextButton()->accessibleName(), QStringLiteral("Go to next step"));
        QCOMPARE(footer->cancelButton()->width(), 112);
        QCOMPARE(footer->backButton()->width(), 112);
        QCOMPARE(footer->nextButton()->width(), 160);
        QCOMPARE(footer->saveButton()->width(), 160);
        // Disabled through the widget state only.
        QVERIFY(!footer->nextButton()->isDisabled());
        QVERIFY(!footer->saveButton()->isDisabled());
        if (step == 4) {
            // Cancel on the leading side, Back and save on the trailing side.
            QCOMPARE(footer->cancelButton()->x(), 24);
            QCOMPARE(footer->saveButton()->geometry().right() + 1, footer->width() - 24);
            QCOMPARE(footer->backButton()->geometry().right() + 1 + 8, footer->saveButton()->x());
        } else {
            QCOMPARE(footer->nextButton()->geometry().right() + 1, footer->width() - 24);
        }
    }

    void saveTitleFollowsEditing_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("title");
        QTest::newRow("new") << false << "Save reminder";
        QTest::newRow("edit") << true << "Save changes";
    }

    void saveTitleFollowsEditing()
    {
        QFETCH(bool, editing);
        QFETCH(QString, title);
        auto sheet = makeSheet(editing ? storedReminder(context()) : nullptr);
        advance(*sheet, 4);
        QCOMPARE(sheet->footer()->saveButton()->title(), title);
        QCOMPARE(sheet->footer()->saveButton()->accessibleName(), title);
    }

    void nextOnStepTwoNeedsAName()
    {
        auto sheet = makeSheet();
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), 2);
        QVERIFY(!sheet->canProceed());
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), 2);

        QLineEdit *field = sheet->nameStep()->nameField();
        QTest::keyClicks(field, QStringLiteral("   "));
        QCOMPARE(field->text(), QStringLiteral("   "));
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
        QTest::keyClicks(field, QStringLiteral("Walk"));
        QCOMPARE(sheet->viewModel()->title(), QStringLiteral("   Walk"));
        QVERIFY(sheet->footer()->nextButton()->isEnabled());
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), 3);

        // Back on step 2, clearing the name disables Next again.
        click(sheet->footer()->backButton());
        sheet->nameStep()->nameField()->selectAll();
        QTest::keyClick(sheet->nameStep()->nameField(), Qt::Key_Delete);
        QCOMPARE(sheet->viewModel()->title(), QString());
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
    }

    void nextOnStepThreeNeedsADay()
    {
        auto sheet = makeSheet();
        advance(*sheet, 3);
        DaySelector *selector = sheet->scheduleStep()->daySelector();
        QCOMPARE(selector->accessibleName(), QStringLiteral("Select active days"));
        for (const Weekday day : allWeekdays)
            click(selector->pill(day));
        QVERIFY(sheet->viewModel()->selectedDays().empty());
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
        QCOMPARE(accessibleValue(selector), QStringLiteral("No days selected"));
        click(selector->pill(Weekday::tuesday));
        QCOMPARE(sheet->viewModel()->selectedDays(), days({Weekday::tuesday}));
        QVERIFY(sheet->footer()->nextButton()->isEnabled());
    }

    void aReversedWindowPassesStepThreeButNotTheSave()
    {
        auto sheet = makeSheet();
        sheet->viewModel()->setScheduleType(ScheduleType::interval);
        advance(*sheet, 3);
        ReminderFormScheduleStep *step = sheet->scheduleStep();
        for (int i = 0; i < 12; ++i)
            step->untilPicker()->timeField()->decrementHour();
        QCOMPARE(sheet->viewModel()->intervalEnd(), QDateTime(openedAt.date(), QTime(6, 0)));
        QVERIFY(sheet->footer()->nextButton()->isEnabled());
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), 4);
        QVERIFY(!sheet->footer()->saveButton()->isEnabled());
        click(sheet->footer()->saveButton());
        QCOMPARE(m_dismissals, 0);
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(0));

        click(sheet->footer()->backButton());
        for (int i = 0; i < 13; ++i)
            sheet->scheduleStep()->untilPicker()->timeField()->incrementHour();
        click(sheet->footer()->nextButton());
        QVERIFY(sheet->footer()->saveButton()->isEnabled());
    }

    // MARK: Category step

    void tileClickSelectsTheCategory()
    {
        auto sheet = makeSheet();
        ReminderFormCategoryStep *step = sheet->categoryStep();
        click(step->tile(ReminderCategory::water));
        QCOMPARE(sheet->viewModel()->category(), ReminderCategory::water);
        QVERIFY(step->tile(ReminderCategory::water)->isSelected());
        QVERIFY(step->tile(ReminderCategory::water)->isChecked());
        QVERIFY(!step->tile(ReminderCategory::general)->isSelected());
        QCOMPARE(sheet->currentStep(), 1);
        click(step->tile(ReminderCategory::water));
        QCOMPARE(sheet->viewModel()->category(), ReminderCategory::water);
        QVERIFY(step->tile(ReminderCategory::water)->isSelected());
        QCOMPARE(step->tile(ReminderCategory::water)->accessibleName(), QStringLiteral("Water"));
        QVERIFY(accessibleState(step->tile(ReminderCategory::water)).checked);
        QVERIFY(!accessibleState(step->tile(ReminderCategory::general)).checked);

        // Coming back shows the choice.
        advance(*sheet, 2);
        click(sheet->footer()->backButton());
        QVERIFY(sheet->categoryStep()->tile(ReminderCategory::water)->isSelected());
    }

    void tileGrid()
    {
        auto sheet = makeSheet(nullptr, 560, 1000);
        ReminderFormCategoryStep *step = sheet->categoryStep();
        const QRect meal = step->tile(ReminderCategory::meal)->geometry();
        const QRect snack = step->tile(ReminderCategory::snack)->geometry();
        const QRect water = step->tile(ReminderCategory::water)->geometry();
        const QRect general = step->tile(ReminderCategory::general)->geometry();
        QCOMPARE(meal.width(), 252);
        QCOMPARE(snack.width(), 252);
        QVERIFY(meal.height() >= 128);
        QCOMPARE(snack.left() - meal.right() - 1, 8);
        QCOMPARE(water.top() - meal.bottom() - 1, 8);
        QCOMPARE(meal.top(), snack.top());
        QCOMPARE(general.left(), snack.left());
    }

    // MARK: Name and style step

    void placeholderFollowsTheCategory_data()
    {
        QTest::addColumn<ReminderCategory>("category");
        QTest::addColumn<QString>("placeholder");
        QTest::newRow("meal") << ReminderCategory::meal << "Lunch";
        QTest::newRow("snack") << ReminderCategory::snack << "Afternoon snack";
        QTest::newRow("water") << ReminderCategory::water << "Hydration check";
        QTest::newRow("movement") << ReminderCategory::movement << "Walk";
        QTest::newRow("meditation") << ReminderCategory::meditation << "Morning meditation";
        QTest::newRow("general") << ReminderCategory::general << "My habit";
    }

    void placeholderFollowsTheCategory()
    {
        QFETCH(ReminderCategory, category);
        QFETCH(QString, placeholder);
        auto sheet = makeSheet();
        click(sheet->categoryStep()->tile(category));
        click(sheet->footer()->nextButton());
        QLineEdit *field = sheet->nameStep()->nameField();
        QCOMPARE(field->placeholderText(), placeholder);
        QCOMPARE(field->text(), QString());
        QCOMPARE(field->accessibleName(), QStringLiteral("Reminder name"));
    }

    void nameStepShowsAnEditedReminder()
    {
        auto sheet = makeSheet(storedReminder(context(), ScheduleType::interval));
        click(sheet->footer()->nextButton());
        ReminderFormNameStep *step = sheet->nameStep();
        QCOMPARE(step->nameField()->text(), QStringLiteral("Stretch break"));
        QVERIFY(step->card(ScheduleType::interval)->isSelected());
        QVERIFY(!step->card(ScheduleType::fixedTime)->isSelected());
    }

    void cardClickSetsOnlyTheType()
    {
        auto sheet = makeSheet();
        advance(*sheet, 2);
        ReminderFormViewModel *vm = sheet->viewModel();
        vm->setIntervalMinutes(35);
        ReminderFormNameStep *step = sheet->nameStep();
        QVERIFY(step->card(ScheduleType::fixedTime)->isSelected());
        ScheduleTypeCard *interval = step->card(ScheduleType::interval);
        QTest::mousePress(interval, Qt::LeftButton, Qt::NoModifier, interval->rect().center());
        interval->repaint();
        QCOMPARE(interval->pressScale(), 0.97);
        QTest::mouseRelease(interval, Qt::LeftButton, Qt::NoModifier, interval->rect().center());
        interval->repaint();
        QCOMPARE(interval->pressScale(), 1.0);
        QCOMPARE(vm->scheduleType(), ScheduleType::interval);
        QVERIFY(interval->isSelected());
        QVERIFY(!step->card(ScheduleType::fixedTime)->isSelected());
        click(step->card(ScheduleType::fixedTime));
        QCOMPARE(vm->scheduleType(), ScheduleType::fixedTime);
        QCOMPARE(vm->intervalMinutes(), qint64(35));
        QCOMPARE(sheet->currentStep(), 2);
        QCOMPARE(interval->accessibleName(), QStringLiteral("Interval"));
        QVERIFY(accessibleState(step->card(ScheduleType::fixedTime)).checked);
        QVERIFY(!accessibleState(interval).checked);
    }

    void cardGeometry()
    {
        auto sheet = makeSheet(nullptr, 560, 1000);
        advance(*sheet, 2);
        ReminderFormNameStep *step = sheet->nameStep();
        const QRect fixed = step->card(ScheduleType::fixedTime)->geometry();
        const QRect interval = step->card(ScheduleType::interval)->geometry();
        QCOMPARE(fixed.width(), 512);
        QCOMPARE(interval.top() - fixed.bottom() - 1, 8);
        QVERIFY(fixed.height() >= 36 + 32);
        QCOMPARE(step->nameField()->height(), 44);
    }

    // MARK: Schedule step

    void scheduleStepShowsTheControlsOfTheType_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<bool>("interval");
        QTest::newRow("fixed time") << ScheduleType::fixedTime << true << false;
        QTest::newRow("interval") << ScheduleType::interval << false << true;
        QTest::newRow("combined") << ScheduleType::combined << true << true;
    }

    void scheduleStepShowsTheControlsOfTheType()
    {
        QFETCH(ScheduleType, type);
        QFETCH(bool, fixed);
        QFETCH(bool, interval);
        auto sheet = makeSheet(nullptr, 560, 1200);
        sheet->viewModel()->setScheduleType(type);
        advance(*sheet, 3);
        ReminderFormScheduleStep *step = sheet->scheduleStep();
        QCOMPARE(step->fixedTimeCard()->isVisible(), fixed);
        QCOMPARE(step->intervalCard()->isVisible(), interval);
        QCOMPARE(step->windowRow()->isVisible(), interval);
        if (fixed && interval)
            QVERIFY(step->fixedTimeCard()->y() < step->intervalCard()->y());
        QCOMPARE(step->fixedTimePicker()->label(), QStringLiteral("Reminder time"));
        QCOMPARE(step->fixedTimePicker()->accessibleName(), QStringLiteral("Fixed reminder time"));
        QCOMPARE(step->fromPicker()->accessibleName(), QStringLiteral("From time"));
        QCOMPARE(step->untilPicker()->accessibleName(), QStringLiteral("Until time"));
        QCOMPARE(step->fixedTimePicker()->timeField()->minuteInterval(), 5);
        QCOMPARE(step->fromPicker()->timeField()->minuteInterval(), 5);
        QCOMPARE(step->untilPicker()->timeField()->minuteInterval(), 5);
    }

    void newIntervalStartsAtTheDefaults()
    {
        auto sheet = makeSheet();
        sheet->viewModel()->setScheduleType(ScheduleType::interval);
        advance(*sheet, 3);
        ReminderFormScheduleStep *step = sheet->scheduleStep();
        QCOMPARE(step->intervalStepper()->valueText(), QStringLiteral("60 min"));
        QCOMPARE(step->fromPicker()->timeField()->hourText(), QStringLiteral("08"));
        QCOMPARE(step->untilPicker()->timeField()->hourText(), QStringLiteral("18"));
        QCOMPARE(step->untilPicker()->timeField()->minuteText(), QStringLiteral("00"));
    }

    void stepperStaysWithinItsRange()
    {
        auto sheet = makeSheet();
        sheet->viewModel()->setScheduleType(ScheduleType::interval);
        advance(*sheet, 3);
        OvlinStepperField *stepper = sheet->scheduleStep()->intervalStepper();
        QCOMPARE(stepper->accessibleName(), QStringLiteral("Interval in minutes: 60"));
        for (int i = 0; i < 11; ++i)
            click(stepper->decrementButton());
        QCOMPARE(sheet->viewModel()->intervalMinutes(), qint64(5));
        QVERIFY(!stepper->canDecrement());
        click(stepper->decrementButton());
        QCOMPARE(sheet->viewModel()->intervalMinutes(), qint64(5));
        QCOMPARE(stepper->accessibleName(), QStringLiteral("Interval in minutes: 5"));
        for (int i = 0; i < 60; ++i)
            click(stepper->incrementButton());
        QCOMPARE(sheet->viewModel()->intervalMinutes(), qint64(240));
        QVERIFY(!stepper->canIncrement());
        QCOMPARE(stepper->accessibleName(), QStringLiteral("Interval in minutes: 240"));
    }

    void timePickersChangeOnlyTheTimeOfDay()
    {
        auto stored = storedReminder(context(), ScheduleType::combined);
        auto sheet = makeSheet(stored);
        advance(*sheet, 3);
        ReminderFormScheduleStep *step = sheet->scheduleStep();
        step->fixedTimePicker()->timeField()->incrementHour();
        step->fromPicker()->timeField()->incrementMinute();
        // An edited reminder keeps the date it was stored with.
        QCOMPARE(sheet->viewModel()->fixedTime(), QDateTime(QDate(2026, 1, 5), QTime(8, 30)));
        QCOMPARE(sheet->viewModel()->intervalStart(), QDateTime(QDate(2026, 1, 5), QTime(9, 5)));
        // Nothing reaches the reminder before the save.
        QCOMPARE(stored->fixedTime(), std::optional<QDateTime>(QDateTime(QDate(2026, 1, 5), QTime(7, 30))));
    }

    void windowArrangementInTheSheet_data()
    {
        QTest::addColumn<int>("sheetWidth");
        QTest::newRow("minimum width") << 560;
        QTest::newRow("wide") << 900;
    }

    void windowArrangementInTheSheet()
    {
        QFETCH(int, sheetWidth);
        auto sheet = makeSheet(nullptr, sheetWidth, 1400);
        sheet->viewModel()->setScheduleType(ScheduleType::interval);
        advance(*sheet, 3);
        TimeWindowRow *row = sheet->scheduleStep()->windowRow();
        QWidget *from = sheet->scheduleStep()->fromPicker()->parentWidget();
        QWidget *until = sheet->scheduleStep()->untilPicker()->parentWidget();
        QVERIFY(qobject_cast<OvlinCard *>(from));
        QVERIFY(row->isSideBySide());
        QCOMPARE(from->y(), until->y());
        QCOMPARE(from->width(), until->width());
        QCOMPARE(until->x() - from->geometry().right() - 1, 16);
        QCOMPARE(until->geometry().right() + 1, row->width());
        QCOMPARE(row->height(), row->heightForWidth(row->width()));
    }

    void windowArrangement_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("sideBySide");
        QTest::newRow("512") << 512 << true;
        QTest::newRow("exactly both ideal widths") << -1 << true;
        QTest::newRow("one point less") << -2 << false;
        QTest::newRow("240") << 240 << false;
    }

    void windowArrangement()
    {
        QFETCH(int, width);
        QFETCH(bool, sideBySide);
        const QDateTime moment(openedAt.date(), QTime(8, 0));
        auto *from = new OvlinCard(16, Qt::white, {}, true, false, new TimePicker(moment, QStringLiteral("From"), 5));
        auto *until = new OvlinCard(16, Qt::white, {}, true, false, new TimePicker(moment, QStringLiteral("Until"), 5));
        TimeWindowRow row(from, until);
        const int ideal = from->sizeHint().width() + 16 + until->sizeHint().width();
        if (width == -1)
            width = ideal;
        else if (width == -2)
            width = ideal - 1;
        row.resize(width, row.heightForWidth(width));
        row.show();
        QCOMPARE(row.isSideBySide(), sideBySide);
        if (sideBySide) {
            QCOMPARE(from->y(), 0);
            QCOMPARE(until->y(), 0);
            QCOMPARE(until->x() - from->geometry().right() - 1, 16);
            QVERIFY(qAbs(from->width() - until->width()) <= 1);
            QCOMPARE(row.heightForWidth(width), std::max(from->height(), until->height()));
        } else {
            QCOMPARE(from->x(), 0);
            QCOMPARE(until->x(), 0);
            QCOMPARE(from->width(), width);
            QCOMPARE(until->width(), width);
            QCOMPARE(until->y() - from->geometry().bottom() - 1, 16);
            QCOMPARE(row.heightForWidth(width), from->height() + 16 + until->height());
        }
    }

    // MARK: Preview step

    void previewShowsWhatWasTyped()
    {
        CopyEngine::shared().setRandomSource(nullptr);
        auto sheet = makeSheet();
        click(sheet->categoryStep()->tile(ReminderCategory::water));
        click(sheet->footer()->nextButton());
        QTest::keyClicks(sheet->nameStep()->nameField(), QStringLiteral("  Drink  "));
        click(sheet->footer()->nextButton());
        click(sheet->scheduleStep()->daySelector()->pill(Weekday::sunday));
        click(sheet->footer()->nextButton());
        ReminderFormPreviewStep *step = sheet->previewStep();
        QCOMPARE(step->preview()->title(), QStringLiteral("  Drink  "));
        const QStringList waterLines = CopyEngine::categoryTexts()[size_t(ReminderCategory::water)];
        QVERIFY(waterLines.contains(step->preview()->message()));
        QCOMPARE(step->categoryValue(), QStringLiteral("Water"));
        QCOMPARE(step->styleValue(), QStringLiteral("Fixed time"));
        QCOMPARE(step->daysValue(), QStringLiteral("M T W T F S"));
        QVERIFY(step->summaryCard()->hasBorder());
        QVERIFY(step->summaryCard()->hasShadow());
        QCOMPARE(step->summaryCard()->padding(), 24.0);
    }

    void summaryTexts_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<QString>("style");
        QTest::newRow("fixed time") << ScheduleType::fixedTime << "Fixed time";
        QTest::newRow("interval") << ScheduleType::interval << "Interval";
        QTest::newRow("combined") << ScheduleType::combined << "Fixed + interval";
    }

    void summaryTexts()
    {
        QFETCH(ScheduleType, type);
        QFETCH(QString, style);
        auto sheet = makeSheet();
        sheet->viewModel()->setScheduleType(type);
        advance(*sheet, 4);
        QCOMPARE(sheet->previewStep()->styleValue(), style);
        QCOMPARE(sheet->previewStep()->daysValue(), QStringLiteral("Every day"));
        QCOMPARE(sheet->previewStep()->categoryValue(), QStringLiteral("General"));
    }

    void daysSummary_data()
    {
        QTest::addColumn<QList<int>>("days");
        QTest::addColumn<QString>("summary");
        QTest::newRow("all seven") << QList<int>{1, 2, 3, 4, 5, 6, 7} << "Every day";
        QTest::newRow("without Sunday") << QList<int>{1, 2, 3, 4, 5, 6} << "M T W T F S";
        QTest::newRow("Monday Wednesday Friday") << QList<int>{5, 1, 3} << "M W F";
        QTest::newRow("Tuesday Thursday") << QList<int>{4, 2} << "T T";
        QTest::newRow("weekend") << QList<int>{7, 6} << "S S";
        QTest::newRow("one day") << QList<int>{3} << "W";
        QTest::newRow("none") << QList<int>{} << "";
    }

    void daysSummary()
    {
        QFETCH(QList<int>, days);
        QFETCH(QString, summary);
        std::set<Weekday> set;
        for (int d : days)
            set.insert(*weekdayFromRaw(d));
        QCOMPARE(ReminderFormParts::daysSummary(set), summary);
    }

    // MARK: Saving and closing

    void savingANewHabit()
    {
        auto sheet = makeSheet();
        click(sheet->categoryStep()->tile(ReminderCategory::water));
        click(sheet->footer()->nextButton());
        QTest::keyClicks(sheet->nameStep()->nameField(), QStringLiteral(" Drink "));
        click(sheet->nameStep()->card(ScheduleType::interval));
        click(sheet->footer()->nextButton());
        click(sheet->footer()->nextButton());
        QVERIFY(sheet->footer()->saveButton()->isEnabled());
        click(sheet->footer()->saveButton());

        const auto stored = context()->fetch<Reminder>();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.first()->title(), QStringLiteral("Drink"));
        QCOMPARE(stored.first()->category(), QStringLiteral("water"));
        QCOMPARE(stored.first()->scheduleType(), QStringLiteral("interval"));
        QVERIFY(!context()->hasChanges());
        QCOMPARE(m_recorder.scheduled, stored);
        QCOMPARE(m_signals, QStringList{QStringLiteral("habit.created")});
        QCOMPARE(m_dismissals, 1);
    }

    void savingAnEditSendsNoSignal()
    {
        auto stored = storedReminder(context());
        auto sheet = makeSheet(stored);
        advance(*sheet, 2);
        QLineEdit *field = sheet->nameStep()->nameField();
        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("Yoga"));
        advance(*sheet, 4);
        click(sheet->footer()->saveButton());
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(1));
        QCOMPARE(stored->title(), QStringLiteral("Yoga"));
        QVERIFY(!context()->hasChanges());
        QCOMPARE(m_recorder.scheduled, QList<std::shared_ptr<Reminder>>{stored});
        QVERIFY(m_signals.isEmpty());
        QCOMPARE(m_dismissals, 1);
    }

    void aSheetWithoutStoreSendsNoSignal()
    {
        auto sheet = makeSheet(nullptr, 560, 640, false);
        advance(*sheet, 4);
        click(sheet->footer()->saveButton());
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(0));
        QVERIFY(m_recorder.scheduled.isEmpty());
        QVERIFY(m_signals.isEmpty());
        QCOMPARE(m_dismissals, 1);
    }

    void aSecondSaveClickSavesNothing()
    {
        auto sheet = makeSheet();
        advance(*sheet, 4);
        click(sheet->footer()->saveButton());
        click(sheet->footer()->saveButton());
        sheet->saveAndDismiss();
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(1));
        QCOMPARE(m_recorder.scheduled.size(), 1);
        QCOMPARE(m_signals.size(), 1);
    }

    void closingDiscards_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("useCancel");
        QTest::newRow("close on step 1") << 1 << false;
        QTest::newRow("close on step 3") << 3 << false;
        QTest::newRow("cancel on step 4") << 4 << true;
    }

    void closingDiscards()
    {
        QFETCH(int, step);
        QFETCH(bool, useCancel);
        auto stored = storedReminder(context());
        auto sheet = makeSheet(stored);
        sheet->viewModel()->setTitle(QStringLiteral("Changed"));
        sheet->viewModel()->setCategory(ReminderCategory::snack);
        advance(*sheet, step);
        click(useCancel ? static_cast<QWidget *>(sheet->footer()->cancelButton()) : sheet->closeButton());
        QCOMPARE(m_dismissals, 1);
        QCOMPARE(stored->title(), QStringLiteral("Stretch break"));
        QCOMPARE(stored->category(), QStringLiteral("movement"));
        QVERIFY(!context()->hasChanges());
        QVERIFY(m_recorder.scheduled.isEmpty());
        QVERIFY(m_signals.isEmpty());
    }

    void theFirstStoreContextIsKept()
    {
        auto other = openStore();
        auto sheet = std::make_unique<ReminderFormView>();
        QVERIFY(!sheet->viewModel()->modelContext());
        sheet->setModelContext(context());
        QVERIFY(!sheet->viewModel()->modelContext());
        sheet->show();
        QCOMPARE(sheet->viewModel()->modelContext(), context());
        sheet->hide();
        sheet->setModelContext(other->mainContext());
        sheet->show();
        QCOMPARE(sheet->viewModel()->modelContext(), context());
    }

    // MARK: Presenting

    void openNewShowsAWindowModalDialog()
    {
        QWidget window;
        window.resize(800, 600);
        window.show();
        QPointer<ReminderFormView> sheet = ReminderFormView::openNew(&window, context());
        QVERIFY(sheet);
        auto *dialog = qobject_cast<QDialog *>(sheet->window());
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), &window);
        QCOMPARE(dialog->windowModality(), Qt::WindowModal);
        QVERIFY(dialog->isVisible());
        QVERIFY(dialog->testAttribute(Qt::WA_DeleteOnClose));
        QVERIFY(dialog->width() >= 560 && dialog->height() >= 480);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("New reminder"));
        QCOMPARE(sheet->viewModel()->modelContext(), context());
        QVERIFY(!sheet->viewModel()->isEditing());

        sheet->viewModel()->setScheduleReminder(m_recorder.function());
        sheet->setSignalSender([this](const QString &name) { m_signals << name; });
        sheet->viewModel()->setTitle(QStringLiteral("Walk"));
        advance(*sheet, 4);
        click(sheet->footer()->saveButton());
        QVERIFY(!dialog->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(sheet.isNull(), 1000);
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(1));
        QCOMPARE(m_signals.size(), 1);
    }

    void openEditAndClose()
    {
        QWidget window;
        window.show();
        auto stored = storedReminder(context());
        QPointer<ReminderFormView> sheet = ReminderFormView::openEdit(&window, context(), stored);
        QCOMPARE(sheet->window()->windowTitle(), QStringLiteral("Edit reminder"));
        QCOMPARE(sheet->viewModel()->existingReminder(), stored);
        click(sheet->closeButton());
        QTRY_VERIFY_WITH_TIMEOUT(sheet.isNull(), 1000);
        QVERIFY(!context()->hasChanges());
    }
};

QTEST_MAIN(TestReminderFormView)
#include "tst_reminderformview.moc"
