#include "Editor/ReminderFormScheduleStep.h"

#include "Base/MainThread.h"
#include "DesignSystem/DaySelector.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/OvlinCard.h"
#include "DesignSystem/OvlinStepperField.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/TimePicker.h"
#include "Editor/ReminderFormParts.h"
#include "Editor/ReminderFormViewModel.h"

#include <QEvent>
#include <QVBoxLayout>

#include <algorithm>

namespace ovlin {

namespace {

constexpr int windowSpacing = int(LayoutTokens::spacingLG);
constexpr int pickerMinuteInterval = 5;

OvlinCard *makeCard(QWidget *content, QWidget *parent)
{
    return new OvlinCard(LayoutTokens::spacingLG, ThemeColors::surface(), {}, true, false, content, parent);
}

} // namespace

// ---- TimeWindowRow

TimeWindowRow::TimeWindowRow(QWidget *first, QWidget *second, QWidget *parent)
    : QWidget(parent), m_first(first), m_second(second)
{
    m_first->setParent(this);
    m_second->setParent(this);
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

bool TimeWindowRow::fitsSideBySide(int width) const
{
    return width >= m_first->sizeHint().width() + windowSpacing + m_second->sizeHint().width();
}

int TimeWindowRow::childHeight(QWidget *child, int width) const
{
    const int h = child->hasHeightForWidth() ? child->heightForWidth(width) : -1;
    return std::max(h, child->sizeHint().height());
}

int TimeWindowRow::heightForWidth(int width) const
{
    if (fitsSideBySide(width)) {
        const int half = std::max(0, (width - windowSpacing) / 2);
        return std::max(childHeight(m_first, half), childHeight(m_second, width - windowSpacing - half));
    }
    return childHeight(m_first, width) + windowSpacing + childHeight(m_second, width);
}

QSize TimeWindowRow::sizeHint() const
{
    const int w = m_first->sizeHint().width() + windowSpacing + m_second->sizeHint().width();
    return QSize(w, heightForWidth(w));
}

QSize TimeWindowRow::minimumSizeHint() const
{
    // The lower of the two arrangements; the real height follows the width through heightForWidth.
    const int w = std::max(m_first->minimumSizeHint().width(), m_second->minimumSizeHint().width());
    return QSize(w, std::max(childHeight(m_first, w), childHeight(m_second, w)));
}

void TimeWindowRow::place()
{
    const int w = width();
    if (fitsSideBySide(w)) {
        const int half = std::max(0, (w - windowSpacing) / 2);
        const int rest = w - windowSpacing - half;
        m_first->setGeometry(0, 0, half, childHeight(m_first, half));
        m_second->setGeometry(half + windowSpacing, 0, rest, childHeight(m_second, rest));
    } else {
        const int firstHeight = childHeight(m_first, w);
        m_first->setGeometry(0, 0, w, firstHeight);
        m_second->setGeometry(0, firstHeight + windowSpacing, w, childHeight(m_second, w));
    }
}

void TimeWindowRow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    place();
}

bool TimeWindowRow::event(QEvent *event)
{
    // A child's size hint changed (fonts, content): measure again.
    if (event->type() == QEvent::LayoutRequest) {
        updateGeometry();
        place();
    }
    return QWidget::event(event);
}

// ---- ReminderFormScheduleStep

QString ReminderFormScheduleStep::stepperAccessibilityLabel(qint64 minutes)
{
    return QStringLiteral("Interval in minutes: %1").arg(minutes);
}

ReminderFormScheduleStep::ReminderFormScheduleStep(ReminderFormViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QVBoxLayout *stack = ReminderFormParts::makeStack(this, LayoutTokens::stackLoose);

    // Timing section
    auto *timing = new QWidget(this);
    QVBoxLayout *timingStack = ReminderFormParts::makeStack(timing, LayoutTokens::stackRegular);
    timingStack->addWidget(ReminderFormParts::makeHeader(
        QStringLiteral("Set your schedule"),
        QStringLiteral("Make the timing obvious. Vague timing is how this gets ignored."), timing));
    auto *body = new QWidget(timing);
    QVBoxLayout *bodyStack = ReminderFormParts::makeStack(body, LayoutTokens::spacingLG);

    m_fixedPicker = new TimePicker(m_viewModel->fixedTime(), QStringLiteral("Reminder time"), pickerMinuteInterval);
    m_fixedPicker->setAccessibleName(QStringLiteral("Fixed reminder time"));
    m_fixedCard = makeCard(m_fixedPicker, body);
    bodyStack->addWidget(m_fixedCard);

    auto *interval = new QWidget;
    QVBoxLayout *intervalStack = ReminderFormParts::makeStack(interval, LayoutTokens::spacingXS);
    intervalStack->addWidget(
        ReminderFormParts::makeCaption(QStringLiteral("REPEAT EVERY"), ThemeColors::textTertiary(), 0.8, interval));
    m_stepper = new OvlinStepperField(
        Binding<qint64>{[this] { return m_viewModel->intervalMinutes(); },
                        [this](const qint64 &minutes) { m_viewModel->setIntervalMinutes(minutes); }},
        5, 240, 5, QStringLiteral("min"), interval);
    intervalStack->addWidget(m_stepper);
    m_intervalCard = makeCard(interval, body);
    bodyStack->addWidget(m_intervalCard);

    m_fromPicker = new TimePicker(m_viewModel->intervalStart(), QStringLiteral("From"), pickerMinuteInterval);
    m_fromPicker->setAccessibleName(QStringLiteral("From time"));
    m_untilPicker = new TimePicker(m_viewModel->intervalEnd(), QStringLiteral("Until"), pickerMinuteInterval);
    m_untilPicker->setAccessibleName(QStringLiteral("Until time"));
    m_window = new TimeWindowRow(makeCard(m_fromPicker, nullptr), makeCard(m_untilPicker, nullptr), body);
    bodyStack->addWidget(m_window);
    timingStack->addWidget(body);
    stack->addWidget(timing);

    // Days section
    auto *daysSection = new QWidget(this);
    QVBoxLayout *daysStack = ReminderFormParts::makeStack(daysSection, LayoutTokens::stackRegular);
    daysStack->addWidget(ReminderFormParts::makeHeader(
        QStringLiteral("Which days?"),
        QStringLiteral("Pick the days this thing actually exists. Aspirational nonsense doesn't count."), daysSection));
    auto *daysBody = new QWidget(daysSection);
    QVBoxLayout *daysBodyStack = ReminderFormParts::makeStack(daysBody, LayoutTokens::spacingLG);
    m_days = new DaySelector(m_viewModel->selectedDays(), daysBody);
    m_days->setAccessibleName(QStringLiteral("Select active days"));
    daysBodyStack->addWidget(m_days, 0, Qt::AlignLeft);
    daysStack->addWidget(daysBody);
    stack->addWidget(daysSection);

    connect(m_fixedPicker, &TimePicker::selectionChanged, m_viewModel, &ReminderFormViewModel::setFixedTime);
    connect(m_fromPicker, &TimePicker::selectionChanged, m_viewModel, &ReminderFormViewModel::setIntervalStart);
    connect(m_untilPicker, &TimePicker::selectionChanged, m_viewModel, &ReminderFormViewModel::setIntervalEnd);
    connect(m_days, &DaySelector::selectedDaysChanged, m_viewModel,
            [this](const WeekdaySet &days) { m_viewModel->setSelectedDays(days); });
    connect(m_viewModel, &ReminderFormViewModel::changed, this, &ReminderFormScheduleStep::refresh);
    refresh();
}

void ReminderFormScheduleStep::refresh()
{
    const ScheduleType type = m_viewModel->scheduleType();
    const bool showsFixed = type != ScheduleType::interval;
    const bool showsInterval = type != ScheduleType::fixedTime;
    m_fixedCard->setVisible(showsFixed);
    m_intervalCard->setVisible(showsInterval);
    m_window->setVisible(showsInterval);

    if (m_fixedPicker->selection() != m_viewModel->fixedTime())
        m_fixedPicker->setSelection(m_viewModel->fixedTime());
    if (m_fromPicker->selection() != m_viewModel->intervalStart())
        m_fromPicker->setSelection(m_viewModel->intervalStart());
    if (m_untilPicker->selection() != m_viewModel->intervalEnd())
        m_untilPicker->setSelection(m_viewModel->intervalEnd());
    m_stepper->refresh();
    m_stepper->setAccessibleName(stepperAccessibilityLabel(m_viewModel->intervalMinutes()));
    m_days->setSelectedDays(m_viewModel->selectedDays());
}

} // namespace ovlin
