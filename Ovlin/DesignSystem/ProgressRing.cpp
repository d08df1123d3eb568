#include "DesignSystem/ProgressRing.h"

#include "Base/MainThread.h"
#include "DesignSystem/Painting.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <limits>

namespace ovlin {

namespace {

double sanitizedLength(double v)
{
    return std::isfinite(v) ? std::clamp(v, 0.0, 4096.0) : 0.0;
}

} // namespace

ProgressRing::ProgressRing(double progress, double size, double lineWidth, const QColor &color,
                           const QColor &trackColor, bool animated, QWidget *parent)
    : QWidget(parent), m_progress(progress), m_size(sanitizedLength(size)), m_lineWidth(sanitizedLength(lineWidth)),
      m_color(color), m_trackColor(trackColor), m_animated(animated)
{
    OVLIN_ASSERT_MAIN_THREAD();
    installAccessibleValueFactory();
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(accessibilityLabel());
    connect(&m_animatedProgress, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

double ProgressRing::drawable(double progress)
{
    // The arc can show no less than nothing and no more than the full circle.
    return std::isfinite(progress) ? std::clamp(progress, 0.0, 1.0) : (progress > 0 ? 1.0 : 0.0);
}

qint64 ProgressRing::percent(double progress)
{
    if (std::isnan(progress))
        return 0;
    const double hundredfold = std::trunc(progress * 100);
    // 2^63 is the first double beyond the range; everything from there saturates.
    constexpr double limit = 9223372036854775808.0;
    if (hundredfold >= limit)
        return std::numeric_limits<qint64>::max();
    if (hundredfold < -limit)
        return std::numeric_limits<qint64>::min();
    return qint64(hundredfold);
}

QString ProgressRing::accessibilityLabel() const
{
    return QStringLiteral("Progress: %1 percent").arg(percent());
}

QString ProgressRing::accessibilityValue() const
{
    return QStringLiteral("%1%").arg(percent());
}

double ProgressRing::displayedProgress() const
{
    return m_animated ? drawable(m_animatedProgress.value()) : drawable(m_progress);
}

void ProgressRing::setProgress(double progress)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (progress == m_progress || (std::isnan(progress) && std::isnan(m_progress)))
        return;
    m_progress = progress;
    setAccessibleName(accessibilityLabel());
    if (m_animated)
        m_animatedProgress.animateTo(drawable(progress), MotionCurve::easeOut(0.3));
    update();
}

void ProgressRing::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // On appearing the arc sweeps from where it is (empty at first) to the value.
    if (m_animated)
        m_animatedProgress.animateTo(drawable(m_progress), MotionCurve::easeOut(0.3));
}

QSize ProgressRing::sizeHint() const
{
    const int side = int(std::ceil(m_size + m_lineWidth));
    return QSize(side, side);
}

void ProgressRing::paintEvent(QPaintEvent *)
{
    if (m_size <= 0)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double r = m_size / 2;
    const QRectF circle(centre.x() - r, centre.y() - r, m_size, m_size);

    if (m_lineWidth > 0) {
        QPen track(Painting::withOpacity(m_trackColor, trackOpacity), m_lineWidth, Qt::SolidLine, Qt::RoundCap);
        p.setPen(track);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(circle);

        const double fraction = displayedProgress();
        if (fraction > 0) {
            QPainterPath arc;
            // Qt measures angles counter-clockwise from three o'clock: start at twelve, sweep clockwise.
            arc.arcMoveTo(circle, 90);
            arc.arcTo(circle, 90, -360 * fraction);
            QPen pen(m_color, m_lineWidth, Qt::SolidLine, Qt::RoundCap);
            p.setPen(pen);
            p.drawPath(arc);
        }
    }
}

} // namespace ovlin
