#include "Editor/EditorTestSupport.h"

#include "Base/Clock.h"
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
#include "Support/PointerTestSupport.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleHints>
#include <QVBoxLayout>
#include <QtTest>

using namespace ovlin;
using namespace editortest;

namespace {

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

// A window-modal sheet as the shell presents the editor: it refuses Escape for itself.
class RefusingSheet : public QDialog
{
public:
    int refused = 0;
    void reject() override { ++refused; }
};

} // namespace

class TestReminderFormView : public QObject, private EditorFixture
{
    Q_OBJECT

private:
    QStringList m_signals;
    int m_dismissals = 0;

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
        while (sheet.stepNumber() < step) {
            const int before = sheet.stepNumber();
            click(sheet.footer()->nextButton());
            if (sheet.stepNumber() == before)
                QFAIL("Next did not move on");
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        g_previousHandler = qInstallMessageHandler(quietPlatformNotes);
        Motion::setAnimationsEnabled(false);
        ThemeFonts::ensureLoaded();
    }

    void init()
    {
        begin();
        m_signals.clear();
        m_dismissals = 0;
    }

    void cleanup()
    {
        end();
        Motion::setAnimationsEnabled(false);
    }

    // ---- Frame and step switch

    void opensAtStepOne_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<QString>("title");
        QTest::addColumn<ReminderCategory>("selected");
        QTest::addColumn<QString>("saveTitle");
        QTest::newRow("new") << false << "New reminder" << ReminderCategory::general << "Save reminder";
        QTest::newRow("edit") << true << "Edit reminder" << ReminderCategory::movement << "Save changes";
    }

    void opensAtStepOne()
    {
        QFETCH(bool, editing);
        QFETCH(QString, title);
        QFETCH(ReminderCategory, selected);
        QFETCH(QString, saveTitle);
        auto sheet = makeSheet(editing ? storedReminder(context()) : nullptr);
        QCOMPARE(sheet->currentStep(), ReminderFormStep::category);
        QCOMPARE(sheet->titleText(), title);
        QCOMPARE(sheet->stepCounterText(), QStringLiteral("Step 1 of 4"));
        QCOMPARE(sheet->viewModel()->isEditing(), editing);
        QVERIFY(sheet->categoryStep());
        for (const ReminderCategory category : allReminderCategories)
            QCOMPARE(sheet->categoryStep()->tile(category)->isSelected(), category == selected);
        // The save button names what it does.
        advance(*sheet, 4);
        QCOMPARE(sheet->footer()->saveButton()->title(), saveTitle);
        QCOMPARE(sheet->footer()->saveButton()->accessibleName(), saveTitle);
    }

    // ---- Footer

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
    }

    void nextOnStepTwoNeedsAName()
    {
        auto sheet = makeSheet();
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), ReminderFormStep::name);
        // Step 2 is for typing the name: its field takes focus as the step appears.
        QCOMPARE(sheet->focusWidget(), sheet->nameStep()->nameField());
        QVERIFY(!sheet->canProceed());
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), ReminderFormStep::name);

        QLineEdit *field = sheet->nameStep()->nameField();
        QTest::keyClicks(field, QStringLiteral("   "));
        QCOMPARE(field->text(), QStringLiteral("   "));
        QVERIFY(!sheet->footer()->nextButton()->isEnabled());
        QTest::keyClicks(field, QStringLiteral("Walk"));
        QCOMPARE(sheet->viewModel()->title(), QStringLiteral("   Walk"));
        QVERIFY(sheet->footer()->nextButton()->isEnabled());
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->currentStep(), ReminderFormStep::schedule);

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
        QCOMPARE(sheet->currentStep(), ReminderFormStep::preview);
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

    // ---- Category step

    void tileClickSelectsTheCategory()
    {
        auto sheet = makeSheet();
        ReminderFormCategoryStep *step = sheet->categoryStep();
        click(step->tile(ReminderCategory::water));
        QCOMPARE(sheet->viewModel()->category(), ReminderCategory::water);
        QVERIFY(step->tile(ReminderCategory::water)->isSelected());
        QVERIFY(step->tile(ReminderCategory::water)->isChecked());
        QVERIFY(!step->tile(ReminderCategory::general)->isSelected());
        QCOMPARE(sheet->currentStep(), ReminderFormStep::category);
        click(step->tile(ReminderCategory::water));
        QCOMPARE(sheet->viewModel()->category(), ReminderCategory::water);
        QVERIFY(step->tile(ReminderCategory::water)->isSelected());
        QVERIFY(accessibleState(step->tile(ReminderCategory::water)).checked);
        QVERIFY(!accessibleState(step->tile(ReminderCategory::general)).checked);

        // Coming back shows the choice.
        advance(*sheet, 2);
        click(sheet->footer()->backButton());
        QVERIFY(sheet->categoryStep()->tile(ReminderCategory::water)->isSelected());
    }

    // ---- Name and style step

    void cardClickSetsOnlyTheType()
    {
        auto sheet = makeSheet();
        advance(*sheet, 2);
        ReminderFormViewModel *vm = sheet->viewModel();
        vm->setIntervalMinutes(35);
        ReminderFormNameStep *step = sheet->nameStep();
        QVERIFY(step->card(ScheduleType::fixedTime)->isSelected());
        ScheduleTypeCard *interval = step->card(ScheduleType::interval);
        click(interval);
        QCOMPARE(vm->scheduleType(), ScheduleType::interval);
        QVERIFY(interval->isSelected());
        QVERIFY(!step->card(ScheduleType::fixedTime)->isSelected());
        click(step->card(ScheduleType::fixedTime));
        QCOMPARE(vm->scheduleType(), ScheduleType::fixedTime);
        QCOMPARE(vm->intervalMinutes(), qint64(35));
        QCOMPARE(sheet->currentStep(), ReminderFormStep::name);
        QVERIFY(accessibleState(step->card(ScheduleType::fixedTime)).checked);
        QVERIFY(!accessibleState(interval).checked);
    }

    // ---- Schedule step

    void stepperStaysWithinItsRange()
    {
        auto sheet = makeSheet();
        sheet->viewModel()->setScheduleType(ScheduleType::interval);
        advance(*sheet, 3);
        OvlinStepperField *stepper = sheet->scheduleStep()->intervalStepper();
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

    // ---- Preview step

    // ---- Saving and closing

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

    // The second half of a double-click on a footer button comes after the step changed: it presses
    // nothing, whatever now stands under the pointer. Keys, and a click after the double-click time, go on.
    void aDoubleClickMovesOneStep_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>(
            "second");                      // "double-click", "unpaired" (a press the platform did not pair) or "Space"
        QTest::addColumn<QString>("first"); // what the first click leads to
        QTest::addColumn<QString>("then");  // after the second gesture
        QTest::addColumn<QString>("later"); // after a click once the double-click time is over
        QTest::newRow("Next on step 3, double-click") << 3 << "Next"
                                                      << "double-click"
                                                      << "step 4"
                                                      << "step 4"
                                                      << "saved";
        QTest::newRow("Next on step 3, unpaired press") << 3 << "Next"
                                                        << "unpaired"
                                                        << "step 4"
                                                        << "step 4"
                                                        << "saved";
        QTest::newRow("Next on step 3, then Space") << 3 << "Next"
                                                    << "Space"
                                                    << "step 4"
                                                    << "saved"
                                                    << "saved";
        QTest::newRow("Next on step 1, double-click") << 1 << "Next"
                                                      << "double-click"
                                                      << "step 2"
                                                      << "step 2"
                                                      << "step 3";
        QTest::newRow("Back on step 4, double-click") << 4 << "Back"
                                                      << "double-click"
                                                      << "step 3"
                                                      << "step 3"
                                                      << "step 2";
    }

    void aDoubleClickMovesOneStep()
    {
        QFETCH(int, step);
        QFETCH(QString, button);
        QFETCH(QString, second);
        QFETCH(QString, first);
        QFETCH(QString, then);
        QFETCH(QString, later);
        auto sheet = makeSheet();
        sheet->viewModel()->setTitle(QStringLiteral("Drink water"));
        advance(*sheet, step);
        QWidget *pressed = button == "Next" ? sheet->footer()->nextButton() : sheet->footer()->backButton();
        const QPoint point = pressed->mapToGlobal(pressed->rect().center());
        const auto outcome = [&] {
            return m_dismissals > 0 ? QStringLiteral("saved") : QStringLiteral("step %1").arg(sheet->stepNumber());
        };
        const auto clickAgain = [&](pointertest::EventTime &time) {
            pointertest::clickThroughWindow(sheet.get(), point, time);
            QCoreApplication::processEvents();
        };

        pointertest::EventTime time;
        clickAgain(time);
        QCOMPARE(outcome(), first);
        time.advance(60);
        if (second == "double-click") {
            clickAgain(time);
        } else if (second == "unpaired") {
            pointertest::clickStraightAt(sheet.get(), point, time);
        } else {
            QWidget *under = sheet->childAt(sheet->mapFromGlobal(point));
            QVERIFY(under);
            QTest::keyClick(under, Qt::Key_Space);
        }
        QCOMPARE(outcome(), then);
        time.advance(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 1);
        if (m_dismissals == 0)
            clickAgain(time);
        QCOMPARE(outcome(), later);
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(later == "saved" ? 1 : 0));
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

    // Escape does what the close button does, on every step, wherever the focus is in the sheet.
    void escapeCloses_data()
    {
        QTest::addColumn<bool>("editing");
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("focus");
        for (const bool editing : {false, true}) {
            for (int step = 1; step <= ReminderFormView::totalSteps; ++step)
                QTest::addRow("%s, step %d", editing ? "edit" : "new", step) << editing << step << "control";
        }
        QTest::newRow("new, step 3, nothing focused") << false << 3 << "nothing";
        QTest::newRow("edit, step 2, the name field's menu open") << true << 2 << "menu";
    }

    void escapeCloses()
    {
        QFETCH(bool, editing);
        QFETCH(int, step);
        QFETCH(QString, focus);
        auto stored = editing ? storedReminder(context()) : nullptr;
        RefusingSheet dialog;
        auto *layout = new QVBoxLayout(&dialog);
        auto *sheet = new ReminderFormView(stored, &dialog);
        layout->addWidget(sheet);
        sheet->setModelContext(context());
        sheet->setDismiss([this] { ++m_dismissals; });
        sheet->setSignalSender([this](const QString &name) { m_signals << name; });
        sheet->viewModel()->setScheduleReminder(m_recorder.function());
        dialog.resize(560, 640);
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        sheet->viewModel()->setTitle(QStringLiteral("Changed"));
        advance(*sheet, step);
        QCOMPARE(sheet->stepNumber(), step);

        QWidget *target = &dialog;
        if (focus == "nothing") {
            if (QWidget *w = QApplication::focusWidget())
                w->clearFocus();
            QVERIFY(!QApplication::focusWidget());
        } else {
            // The step's first control that the keyboard reaches.
            QWidget *control = sheet->stepView();
            do
                control = control->nextInFocusChain();
            while (!(control->focusPolicy() & Qt::TabFocus) || !control->isVisible() || !control->isEnabled());
            control->setFocus(Qt::TabFocusReason);
            target = control;
        }
        if (focus == "menu") {
            QWidget *field = sheet->nameStep()->nameField();
            field->setFocus(Qt::TabFocusReason);
            QContextMenuEvent open(QContextMenuEvent::Keyboard, QPoint(4, 4), field->mapToGlobal(QPoint(4, 4)));
            QApplication::sendEvent(field, &open);
            QWidget *menu = QApplication::activePopupWidget();
            QVERIFY(menu);
            // The menu takes the first Escape; the sheet stays.
            QTest::keyClick(menu, Qt::Key_Escape);
            QTRY_VERIFY(!QApplication::activePopupWidget());
            QCOMPARE(m_dismissals, 0);
            target = field;
        }

        QTest::keyClick(target, Qt::Key_Escape);
        QCOMPARE(m_dismissals, 1);
        QCOMPARE(dialog.refused, 0);
        if (stored) {
            QCOMPARE(stored->title(), QStringLiteral("Stretch break"));
            QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(1));
        } else {
            QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(0));
        }
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

    // ---- Presenting

    // A taller step grows the sheet within the screen; a shorter one after it keeps that height, so the
    // footer stays where it was.
    void sheetGrowsForATallerStepOnly()
    {
        QWidget window;
        window.resize(800, 600);
        window.show();
        QPointer<ReminderFormView> sheet = ReminderFormView::openNew(&window, context());
        QWidget *dialog = sheet->window();
        QVERIFY(dialog != sheet.data());
        const int fits = dialog->screen()->availableGeometry().height() - ReminderFormView::sheetFrameAllowance;
        advance(*sheet, 4);
        const int previewHeight = dialog->height();
        click(sheet->footer()->backButton());
        sheet->viewModel()->setScheduleType(ScheduleType::combined);
        click(sheet->footer()->backButton());
        click(sheet->footer()->nextButton());
        const int combinedHeight = dialog->height();
        QVERIFY2(combinedHeight > previewHeight,
                 qPrintable(QStringLiteral("%1 after %2").arg(combinedHeight).arg(previewHeight)));
        QVERIFY(combinedHeight <= fits);
        click(sheet->footer()->nextButton());
        QCOMPARE(sheet->stepNumber(), 4);
        QCOMPARE(dialog->height(), combinedHeight);
        dialog->close();
    }

    // A step that does not fit grows the sheet by what it lacks and no more, so the footer moves no further
    // than it must; a step that fits leaves the sheet as it is.
    void aTallerStepGrowsTheSheetByWhatItLacks_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::newRow("fixed time") << ScheduleType::fixedTime;
        QTest::newRow("interval") << ScheduleType::interval;
    }

    void aTallerStepGrowsTheSheetByWhatItLacks()
    {
        QFETCH(ScheduleType, type);
        QWidget window;
        window.resize(800, 600);
        window.show();
        QPointer<ReminderFormView> sheet = ReminderFormView::openNew(&window, context());
        QWidget *dialog = sheet->window();
        sheet->viewModel()->setScheduleType(type);
        advance(*sheet, 2);
        const int before = dialog->height();
        click(sheet->footer()->nextButton());
        QCoreApplication::processEvents();
        QScrollArea *area = sheet->contentArea();
        const int needs = area->widget()->heightForWidth(area->widget()->width());
        const int shows = area->viewport()->height();
        QVERIFY2(needs <= shows, qPrintable(QStringLiteral("needs %1, shows %2").arg(needs).arg(shows)));
        if (dialog->height() != before)
            QCOMPARE(shows, needs);
        dialog->close();
    }

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
};

QTEST_MAIN(TestReminderFormView)
#include "tst_reminderformview.moc"
