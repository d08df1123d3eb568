#pragma once

#include "DesignSystem/LayoutTokens.h"
#include "Platform/StoreContext.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QScrollArea;
class QScrollBar;
class QVBoxLayout;

namespace ovlin {

class Reminder;
class ReminderFormCategoryStep;
class ReminderFormFooter;
class ReminderFormNameStep;
class ReminderFormPreviewStep;
class ReminderFormProgressBar;
class ReminderFormScheduleStep;
class ReminderFormViewModel;

// The sheet's steps in their order; the value is the step's number in the counter.
enum class ReminderFormStep { category = 1, name, schedule, preview };

// The four-step sheet that creates a reminder or edits one: category, name and reminder style,
// schedule and days, preview. A fixed header (close button, title, step counter, progress bar), the
// current step in a scrolling area, and a fixed footer that moves between the steps and saves.
//
// Presenters open it with openNew / openEdit; it reports nothing back: a saved reminder reaches the
// screens through their store queries. Every presentation starts at the category step with a new view model.
// Main thread only.
class ReminderFormView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int totalSteps = int(ReminderFormStep::preview);
    static constexpr double modalContentWidth = LayoutTokens::wideSheetWidth;
    // Room kept free above a screen-high sheet for the window manager's title bar.
    static constexpr int sheetFrameAllowance = 40;

    using Dismiss = std::function<void()>;
    // Sends an analytics signal by name (no parameters, value or user identifier).
    using SignalSender = std::function<void(const QString &)>;

    // Shows the sheet as a window-modal dialog over `parent`'s window (deleted when closed) and returns
    // the sheet. `context` is the store the reminder is saved to.
    static ReminderFormView *openNew(QWidget *parent, StoreContext *context);
    static ReminderFormView *openEdit(QWidget *parent, StoreContext *context, std::shared_ptr<Reminder> reminder);

    // A sheet for a new reminder (none given) or for editing `existingReminder`. The presenter supplies
    // the store context and the dismiss action (the defaults close a hosting dialog).
    explicit ReminderFormView(std::shared_ptr<Reminder> existingReminder = nullptr, QWidget *parent = nullptr);
    ~ReminderFormView() override;

    // The presenter's store context; handed to the view model when the sheet is shown, once.
    void setModelContext(StoreContext *context);
    StoreContext *modelContext() const { return m_modelContext.data(); }
    void setDismiss(Dismiss dismiss);
    // Tests inject one; null restores the analytics client.
    void setSignalSender(SignalSender sender);

    ReminderFormViewModel *viewModel() const { return m_viewModel; }
    ReminderFormStep currentStep() const { return m_currentStep; }
    // The current step's number, 1 to totalSteps.
    int stepNumber() const { return int(m_currentStep); }

    // Whether "Next" may be used: on the name step a non-blank title, on the schedule step at least one weekday.
    bool canProceed() const;
    // The footer's actions.
    void goBack();
    void goNext();
    void cancel();
    void saveAndDismiss();
    // Closes the sheet without saving (the close button, and Escape on any step).
    void dismiss();
    // Gives the view model the store context unless it has one already (runs on every show).
    void attachModelContext();

    // "New reminder" or "Edit reminder".
    QString titleText() const;
    // "Step 2 of 4"
    QString stepCounterText() const;

    QAbstractButton *closeButton() const { return m_closeButton; }
    ReminderFormProgressBar *progressBar() const { return m_progressBar; }
    ReminderFormFooter *footer() const { return m_footer; }
    QScrollArea *contentArea() const { return m_scrollArea; }
    // The visible scroll bar, over the content's right padding; shown only while the step overflows.
    QScrollBar *scrollIndicator() const { return m_scrollIndicator; }
    // The column the step is laid out in (at most modalContentWidth wide).
    QWidget *contentColumn() const { return m_column; }
    // The current step's view.
    QWidget *stepView() const { return m_stepView; }
    ReminderFormCategoryStep *categoryStep() const;
    ReminderFormNameStep *nameStep() const;
    ReminderFormScheduleStep *scheduleStep() const;
    ReminderFormPreviewStep *previewStep() const;

    static void sendAnalyticsSignal(const QString &name);

    // 560 wide and as tall as the header, the current step and the footer, within the screen.
    QSize sizeHint() const override;

Q_SIGNALS:
    void currentStepChanged(ovlin::ReminderFormStep step);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    QWidget *buildHeader();
    QScrollArea *buildScrollArea();
    ReminderFormFooter *buildFooter();
    void setCurrentStep(ReminderFormStep step);
    void showStep();
    void refreshChrome();
    void placeScrollIndicator();
    void growWindowToStep();
    // How high the content area must be for the step shown in a column `column` wide.
    int contentHeight(int column) const;
    // The tallest the sheet gets on its screen.
    int tallestHeight() const;

    std::shared_ptr<Reminder> m_existingReminder;
    QPointer<StoreContext> m_modelContext;
    Dismiss m_dismiss;
    SignalSender m_signalSender;
    ReminderFormViewModel *m_viewModel;
    ReminderFormStep m_currentStep = ReminderFormStep::category;
    bool m_saved = false;

    QAbstractButton *m_closeButton = nullptr;
    QLabel *m_title = nullptr;
    QLabel *m_stepCounter = nullptr;
    ReminderFormProgressBar *m_progressBar = nullptr;
    QScrollArea *m_scrollArea = nullptr;
    QScrollBar *m_scrollIndicator = nullptr;
    QWidget *m_column = nullptr;
    QVBoxLayout *m_columnStack = nullptr;
    QWidget *m_stepView = nullptr;
    ReminderFormFooter *m_footer = nullptr;
};

} // namespace ovlin
