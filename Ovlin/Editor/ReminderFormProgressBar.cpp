#include "Editor/ReminderFormProgressBar.h"

#include "Base/MainThread.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

ReminderFormProgressBar::ReminderFormProgressBar(int step, int totalSteps, QWidget *parent)
    : QWidget(parent), m_step(step), m_totalSteps(totalSteps), m_progress(fraction(step, totalSteps))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setFixedHeight(int(barHeight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&m_progress, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

double ReminderFormProgressBar::fraction(int step, int totalSteps)
{
    // No steps at all would divide by zero; such a bar shows only its minimum fill.
    return totalSteps > 0 ? double(step) / double(totalSteps) : 0.0;
}

void ReminderFormProgressBar::setStep(int step)
{
    if (step == m_step)
        return;
    m_step = step;
    m_progress.animateTo(fraction(step, m_totalSteps), MotionCurve::easeOut(0.18));
    update();
}

double ReminderFormProgressBar::fillWidth(double barWidth, int step, int totalSteps)
{
    return std::max(barWidth * fraction(step, totalSteps), minimumFill);
}

double ReminderFormProgressBar::currentFillWidth() const
{
    return std::max(width() * m_progress.value(), minimumFill);
}

QSize ReminderFormProgressBar::sizeHint() const
{
    return QSize(int(minimumFill), int(barHeight));
}

QSize ReminderFormProgressBar::minimumSizeHint() const
{
    return QSize(0, int(barHeight));
}

void ReminderFormProgressBar::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track(0, 0, width(), barHeight);
    p.fillPath(Painting::capsule(track), Painting::withOpacity(ThemeColors::border(), 0.9));

    const double fill = currentFillWidth();
    if (!std::isfinite(fill) || fill <= 0)
        return;
    const QRectF fillRect(0, 0, fill, barHeight);
    QLinearGradient gradient(fillRect.topLeft(), fillRect.topRight());
    gradient.setColorAt(0, ThemeColors::primary());
    gradient.setColorAt(1, ThemeColors::green300());
    p.fillPath(Painting::capsule(fillRect), gradient);
}

} // namespace ovlin
