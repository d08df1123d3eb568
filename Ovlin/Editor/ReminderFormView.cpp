#include "Editor/ReminderFormView.h"

#include "Analytics/Analytics.h"
#include "Base/MainThread.h"
#include "DesignSystem/DividerLine.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/SheetCloseButton.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "Editor/ReminderFormCategoryStep.h"
#include "Editor/ReminderFormFooter.h"
#include "Editor/ReminderFormNameStep.h"
#include "Editor/ReminderFormPreviewStep.h"
#include "Editor/ReminderFormProgressBar.h"
#include "Editor/ReminderFormScheduleStep.h"
#include "Editor/ReminderFormViewModel.h"
#include "Model/Reminder.h"
#include "Platform/StoreContext.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QVBoxLayout>
#include <QVariantAnimation>

#include <algorithm>

namespace ovlin {

namespace {

QLabel *makeLabel(const QString &text, const QFont &font, const QColor &color, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

bool isEscape(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<const QKeyEvent *>(event);
    return key->key() == Qt::Key_Escape &&
           !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
}

ReminderFormView *present(QWidget *parent, StoreContext *context, std::shared_ptr<Reminder> reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto *dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(parent ? Qt::WindowModal : Qt::ApplicationModal);
    auto *layout = new QVBoxLayout(dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *view = new ReminderFormView(std::move(reminder), dialog);
    layout->addWidget(view);
    view->setModelContext(context);
    const QPointer<QDialog> host(dialog);
    view->setDismiss([host] {
        if (host)
            host->close();
    });
    dialog->setWindowTitle(view->titleText());
    dialog->setMinimumSize(view->minimumSize());
    dialog->resize(view->sizeHint());
    dialog->open();
    return view;
}

} // namespace

ReminderFormView *ReminderFormView::openNew(QWidget *parent, StoreContext *context)
{
    return present(parent, context, nullptr);
}

ReminderFormView *ReminderFormView::openEdit(QWidget *parent, StoreContext *context, std::shared_ptr<Reminder> reminder)
{
    return present(parent, context, std::move(reminder));
}

ReminderFormView::ReminderFormView(std::shared_ptr<Reminder> existingReminder, QWidget *parent)
    : QWidget(parent), m_existingReminder(std::move(existingReminder)),
      m_viewModel(new ReminderFormViewModel(m_existingReminder, nullptr, this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setMinimumSize(int(LayoutTokens::wideSheetWidth), int(LayoutTokens::sheetMinHeight));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ThemeColors::background());
    palette.setColor(QPalette::Base, ThemeColors::background());
    setPalette(palette);

    auto *stack = new QVBoxLayout(this);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    stack->addWidget(buildHeader());
    stack->addWidget(new DividerLine(this));
    stack->addWidget(buildScrollArea(), 1);
    stack->addWidget(new DividerLine(this));
    stack->addWidget(buildFooter());

    connect(m_viewModel, &ReminderFormViewModel::changed, this, &ReminderFormView::refreshChrome);
    showStep();
    refreshChrome();
}

// The fixed header: close button, title and step counter over the progress bar.
QWidget *ReminderFormView::buildHeader()
{
    auto *header = new QWidget(this);
    auto *headerStack = new QVBoxLayout(header);
    headerStack->setContentsMargins(int(LayoutTokens::spacingXL), int(LayoutTokens::spacingLG),
                                    int(LayoutTokens::spacingXL), int(LayoutTokens::spacingLG));
    headerStack->setSpacing(int(LayoutTokens::spacingLG));
    auto *headerRow = new QHBoxLayout;
    headerRow->setContentsMargins(0, 0, 0, 0);
    headerRow->setSpacing(int(LayoutTokens::spacingSM));
    auto *closeButton = new SheetCloseButton(ThemeFonts::body(), header);
    closeButton->setShowsFocusRing(true);
    m_closeButton = closeButton;
    connect(m_closeButton, &QAbstractButton::clicked, this, &ReminderFormView::dismiss);
    m_title = makeLabel(titleText(), ThemeFonts::sheetTitle(), ThemeColors::textPrimary(), header);
    m_stepCounter = makeLabel(stepCounterText(), ThemeFonts::callout(), ThemeColors::textSecondary(), header);
    headerRow->addWidget(m_closeButton, 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    headerRow->addWidget(m_title, 0, Qt::AlignVCenter);
    headerRow->addStretch(1);
    headerRow->addWidget(m_stepCounter, 0, Qt::AlignVCenter);
    headerStack->addLayout(headerRow);
    m_progressBar = new ReminderFormProgressBar(stepNumber(), totalSteps, header);
    headerStack->addWidget(m_progressBar);
    return header;
}

// The scrolling content area with the centred step column and its overlay scroll bar.
QScrollArea *ReminderFormView::buildScrollArea()
{
    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Tab goes to the step's controls, not to the area around them.
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    // The area's own bar would take its width from the content; the visible bar lies over the right
    // padding instead (see placeScrollIndicator), so the step keeps its full width.
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    auto *scrollContent = new QWidget;
    scrollContent->setAutoFillBackground(false);
    auto *centring = new QHBoxLayout(scrollContent);
    centring->setContentsMargins(int(LayoutTokens::spacingXL), int(LayoutTokens::spacingXL),
                                 int(LayoutTokens::spacingXL), int(LayoutTokens::spacingLG));
    centring->setSpacing(0);
    m_column = new QWidget(scrollContent);
    m_column->setMaximumWidth(int(modalContentWidth));
    m_column->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_columnStack = new QVBoxLayout(m_column);
    m_columnStack->setContentsMargins(0, 0, 0, 0);
    m_columnStack->setSpacing(int(LayoutTokens::spacingXL));
    m_columnStack->addStretch(1);
    centring->addStretch(0);
    centring->addWidget(m_column, 1);
    centring->addStretch(0);
    m_scrollArea->setWidget(scrollContent);
    m_scrollIndicator = new QScrollBar(Qt::Vertical, m_scrollArea);
    QScrollBar *inner = m_scrollArea->verticalScrollBar();
    connect(inner, &QScrollBar::rangeChanged, m_scrollIndicator, [this, inner](int min, int max) {
        m_scrollIndicator->setRange(min, max);
        m_scrollIndicator->setPageStep(inner->pageStep());
        m_scrollIndicator->setSingleStep(inner->singleStep());
        m_scrollIndicator->setVisible(max > min);
    });
    connect(inner, &QScrollBar::valueChanged, m_scrollIndicator, &QScrollBar::setValue);
    connect(m_scrollIndicator, &QScrollBar::valueChanged, inner, &QScrollBar::setValue);
    m_scrollIndicator->setVisible(false);
    m_scrollArea->installEventFilter(this);

    return m_scrollArea;
}

// The fixed footer that moves between the steps and saves.
ReminderFormFooter *ReminderFormView::buildFooter()
{
    m_footer = new ReminderFormFooter(this);
    connect(m_footer, &ReminderFormFooter::cancelRequested, this, &ReminderFormView::cancel);
    connect(m_footer, &ReminderFormFooter::backRequested, this, &ReminderFormView::goBack);
    connect(m_footer, &ReminderFormFooter::nextRequested, this, &ReminderFormView::goNext);
    connect(m_footer, &ReminderFormFooter::saveRequested, this, &ReminderFormView::saveAndDismiss);
    return m_footer;
}

ReminderFormView::~ReminderFormView()
{
    // The steps hold the view model by pointer: they go first, the view model with the other children.
    const auto children = findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
    qDeleteAll(children);
}

void ReminderFormView::setModelContext(StoreContext *context)
{
    m_modelContext = context;
}

void ReminderFormView::setDismiss(Dismiss dismiss)
{
    m_dismiss = std::move(dismiss);
}

void ReminderFormView::setSignalSender(SignalSender sender)
{
    m_signalSender = std::move(sender);
}

void ReminderFormView::sendAnalyticsSignal(const QString &name)
{
    analytics::Analytics::send(name);
}

QString ReminderFormView::titleText() const
{
    return m_viewModel->isEditing() ? QStringLiteral("Edit reminder") : QStringLiteral("New reminder");
}

QString ReminderFormView::stepCounterText() const
{
    return QStringLiteral("Step %1 of %2").arg(stepNumber()).arg(totalSteps);
}

ReminderFormCategoryStep *ReminderFormView::categoryStep() const
{
    return qobject_cast<ReminderFormCategoryStep *>(m_stepView);
}

ReminderFormNameStep *ReminderFormView::nameStep() const
{
    return qobject_cast<ReminderFormNameStep *>(m_stepView);
}

ReminderFormScheduleStep *ReminderFormView::scheduleStep() const
{
    return qobject_cast<ReminderFormScheduleStep *>(m_stepView);
}

ReminderFormPreviewStep *ReminderFormView::previewStep() const
{
    return qobject_cast<ReminderFormPreviewStep *>(m_stepView);
}

bool ReminderFormView::canProceed() const
{
    switch (m_currentStep) {
    case ReminderFormStep::name: return !ReminderFormViewModel::isBlank(m_viewModel->title());
    case ReminderFormStep::schedule: return !m_viewModel->selectedDays().empty();
    default: return true;
    }
}

void ReminderFormView::goBack()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_currentStep != ReminderFormStep::category)
        setCurrentStep(ReminderFormStep(stepNumber() - 1));
}

void ReminderFormView::goNext()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_currentStep != ReminderFormStep::preview && canProceed())
        setCurrentStep(ReminderFormStep(stepNumber() + 1));
}

void ReminderFormView::cancel()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_viewModel->cancel();
    dismiss();
}

void ReminderFormView::saveAndDismiss()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // One save per sheet: a second click while it closes must not insert the habit twice.
    if (m_saved)
        return;
    m_saved = true;
    const auto outcome = m_viewModel->save();
    // Only a habit that was really stored counts as created.
    if (outcome == ReminderFormViewModel::SaveOutcome::inserted) {
        const QString name = QStringLiteral("habit.created");
        if (m_signalSender)
            m_signalSender(name);
        else
            sendAnalyticsSignal(name);
    }
    dismiss();
}

void ReminderFormView::dismiss()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_dismiss) {
        m_dismiss();
        return;
    }
    if (auto *dialog = qobject_cast<QDialog *>(window()))
        dialog->close();
    else
        hide();
}

void ReminderFormView::attachModelContext()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_viewModel->modelContext())
        m_viewModel->setModelContext(m_modelContext.data());
}

void ReminderFormView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    attachModelContext();
    // The sheet starts on the selected category, not on its close button, where Space would end it.
    if (!event->spontaneous())
        if (ReminderFormCategoryStep *category = categoryStep())
            KeyboardFocus::startAt(category->tile(m_viewModel->category()));
    // A sheet refuses Escape for itself; the editor takes it even when nothing inside it has the focus.
    if (QWidget *host = window(); host != this)
        host->installEventFilter(this);
}

bool ReminderFormView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_scrollArea && event->type() == QEvent::Resize)
        placeScrollIndicator();
    if (watched == window() && watched != this && isEscape(event)) {
        dismiss();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void ReminderFormView::keyPressEvent(QKeyEvent *event)
{
    // Escape is the close button on every step. A menu open inside the sheet is a window of its own and
    // takes its Escape first.
    if (isEscape(event)) {
        dismiss();
        return;
    }
    QWidget::keyPressEvent(event);
}

void ReminderFormView::placeScrollIndicator()
{
    const int extent = m_scrollIndicator->sizeHint().width();
    const int inset = int(LayoutTokens::spacingXS);
    m_scrollIndicator->setGeometry(m_scrollArea->width() - extent - inset, inset, extent,
                                   std::max(0, m_scrollArea->height() - 2 * inset));
    m_scrollIndicator->raise();
}

void ReminderFormView::paintEvent(QPaintEvent *)
{
    QPainter(this).fillRect(rect(), ThemeColors::background());
}

void ReminderFormView::setCurrentStep(ReminderFormStep step)
{
    if (step == m_currentStep)
        return;
    QWidget *focus = QApplication::focusWidget();
    const bool fromFooter = focus && m_footer->isAncestorOf(focus);
    const bool ring = KeyboardFocus::hasRing(focus);
    m_currentStep = step;
    showStep();
    refreshChrome();
    growWindowToStep();
    // The footer keeps the keyboard: on the button pressed while it stays, else on the main button, so a
    // second key goes on as the first did. The name step starts typing while there is no name to go on with.
    QWidget *main = m_footer->nextButton()->isVisibleTo(m_footer) ? m_footer->nextButton() : m_footer->saveButton();
    QWidget *target = fromFooter && focus->isVisible() && focus->isEnabled() ? focus : nullptr;
    if (!target && (fromFooter || !nameStep()) && main->isEnabled())
        target = main;
    if (ReminderFormNameStep *name = nameStep(); !target && name)
        target = name->nameField();
    if (target)
        KeyboardFocus::handOver(target, ring);
    Q_EMIT currentStepChanged(step);
}

QSize ReminderFormView::sizeHint() const
{
    const int width = int(LayoutTokens::wideSheetWidth);
    int height = int(LayoutTokens::sheetMinHeight);
    if (m_stepView) {
        // Measured from the step itself: the scroll area's own layouts are not laid out before the sheet
        // is first shown.
        const int content = contentHeight(width - 2 * int(LayoutTokens::spacingXL));
        const int chrome = layout()->totalSizeHint().height() - m_scrollArea->sizeHint().height();
        height = std::max(height, chrome + content);
    }
    return {width, std::min(height, tallestHeight())};
}

int ReminderFormView::contentHeight(int column) const
{
    // The step with the content area's padding above and below it.
    const int step =
        m_stepView->hasHeightForWidth() ? m_stepView->heightForWidth(column) : m_stepView->sizeHint().height();
    return int(LayoutTokens::spacingXL + LayoutTokens::spacingLG) + step;
}

int ReminderFormView::tallestHeight() const
{
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
        // The whole screen height less room for the window manager's title bar.
        const int available = screen->availableGeometry().height() - sheetFrameAllowance;
        if (available >= int(LayoutTokens::sheetMinHeight))
            return available;
    }
    return QWIDGETSIZE_MAX;
}

void ReminderFormView::growWindowToStep()
{
    // A taller step grows the sheet downward, as far as the screen lets it; a shorter one leaves it as it is,
    // and the sheet never moves: the footer's buttons stay under the pointer from step to step. What does
    // not fit scrolls.
    QWidget *host = window();
    if (host == this || !host->isVisible() || !m_stepView)
        return;
    // Measured against the content area the sheet has now: the header and footer keep their heights, and
    // room the sheet has to spare (it opened at its first step's size hint) counts.
    const QWidget *viewport = m_scrollArea->viewport();
    const int column = std::clamp(viewport->width() - 2 * int(LayoutTokens::spacingXL), 1, int(modalContentWidth));
    const int missing = contentHeight(column) - viewport->height();
    if (missing <= 0)
        return;
    const int hostExtra = host->height() - height();
    int wanted = std::min(host->height() + missing, tallestHeight() + hostExtra);
    if (const QScreen *screen = host->screen()) {
        const int frameBottom = std::max(0, host->frameGeometry().bottom() - host->geometry().bottom());
        wanted = std::min(wanted, screen->availableGeometry().bottom() - frameBottom - host->geometry().top() + 1);
    }
    if (wanted > host->height())
        host->resize(host->width(), wanted);
}

void ReminderFormView::showStep()
{
    // The step that is left goes with its view state (focus, for one); the values live in the view model.
    if (m_stepView) {
        m_stepView->hide();
        m_columnStack->removeWidget(m_stepView);
        m_stepView->deleteLater();
        m_stepView = nullptr;
    }
    switch (m_currentStep) {
    case ReminderFormStep::category: m_stepView = new ReminderFormCategoryStep(m_viewModel, m_column); break;
    case ReminderFormStep::name: m_stepView = new ReminderFormNameStep(m_viewModel, m_column); break;
    case ReminderFormStep::schedule: m_stepView = new ReminderFormScheduleStep(m_viewModel, m_column); break;
    case ReminderFormStep::preview: m_stepView = new ReminderFormPreviewStep(m_viewModel, m_column); break;
    }
    m_scrollArea->verticalScrollBar()->setValue(0);
    if (!m_stepView)
        return;
    m_columnStack->insertWidget(0, m_stepView);
    m_stepView->show();

    // The entering step fades in with the step change's ease-out.
    const int duration = Motion::durationMs(MotionCurve::easeOut(0.18));
    if (duration <= 0 || !isVisible())
        return;
    auto *effect = new QGraphicsOpacityEffect(m_stepView);
    effect->setOpacity(0);
    m_stepView->setGraphicsEffect(effect);
    auto *fade = new QVariantAnimation(m_stepView);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    fade->setDuration(duration);
    fade->setEasingCurve(Motion::easeOutCurve());
    QWidget *entering = m_stepView;
    connect(fade, &QVariantAnimation::valueChanged, effect,
            [effect](const QVariant &v) { effect->setOpacity(v.toDouble()); });
    connect(fade, &QVariantAnimation::finished, entering, [entering] { entering->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

void ReminderFormView::refreshChrome()
{
    m_title->setText(titleText());
    m_stepCounter->setText(stepCounterText());
    m_progressBar->setStep(stepNumber());
    m_footer->apply(ReminderFormFooter::State{stepNumber(), totalSteps, m_viewModel->isEditing(), canProceed(),
                                              m_viewModel->isValid()});
}

} // namespace ovlin
