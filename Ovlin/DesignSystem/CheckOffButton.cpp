#include "DesignSystem/CheckOffButton.h"

#include "Base/MainThread.h"
#include "DesignSystem/IconRegistry.h"
#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

const MotionCurve &pressSpring()
{
    static const MotionCurve curve = MotionCurve::spring(0.25, 0.65);
    return curve;
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    const double u = std::clamp(t, 0.0, 1.0);
    const QColor x = a.toRgb();
    const QColor y = b.toRgb();
    return QColor::fromRgbF(
        float(x.redF() + (y.redF() - x.redF()) * u), float(x.greenF() + (y.greenF() - x.greenF()) * u),
        float(x.blueF() + (y.blueF() - x.blueF()) * u), float(x.alphaF() + (y.alphaF() - x.alphaF()) * u));
}

double sanitizedSize(double size)
{
    return std::isfinite(size) ? std::clamp(size, 0.0, 4096.0) : 0.0;
}

} // namespace

CheckOffButton::CheckOffButton(bool isCompleted, std::function<void()> action, double size, QWidget *parent)
    : QAbstractButton(parent), m_isCompleted(isCompleted), m_action(std::move(action)), m_size(sanitizedSize(size))
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_completion.setImmediately(isCompleted ? 1 : 0);
    const int side = int(std::ceil(m_size));
    setFixedSize(side, side);
    // Like the other controls: reachable by Tab, but a click leaves focus where it was.
    setFocusPolicy(Qt::TabFocus);
    setAccessibleName(accessibilityLabel(m_isCompleted));
    connect(this, &QAbstractButton::clicked, this, &CheckOffButton::handleClick);
    connect(&m_scale, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
    connect(&m_completion, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

double CheckOffButton::innerSide(double size)
{
    return std::max(sanitizedSize(size) - 6, 18.0);
}

double CheckOffButton::checkmarkPointSize(double size)
{
    return innerSide(size) * 0.45;
}

QString CheckOffButton::accessibilityLabel(bool completed)
{
    return completed ? QStringLiteral("Mark as incomplete") : QStringLiteral("Mark as complete");
}

QSize CheckOffButton::sizeHint() const
{
    const int side = int(std::ceil(m_size));
    return QSize(side, side);
}

void CheckOffButton::setIsCompleted(bool completed)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (completed == m_isCompleted)
        return;
    m_isCompleted = completed;
    m_completion.setImmediately(completed ? 1 : 0);
    setAccessibleName(accessibilityLabel(completed));
    update();
    Q_EMIT isCompletedChanged(completed);
}

void CheckOffButton::setAction(std::function<void()> action)
{
    m_action = std::move(action);
}

double CheckOffButton::restingScale() const
{
    if (m_isAnimating)
        return pressedScale;
    return m_isHovered ? hoverScale : 1.0;
}

void CheckOffButton::handleClick()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Flip and shrink in one springy motion.
    m_isCompleted = !m_isCompleted;
    m_isAnimating = true;
    m_completion.animateTo(m_isCompleted ? 1 : 0, pressSpring());
    m_scale.animateTo(pressedScale, pressSpring());
    setAccessibleName(accessibilityLabel(m_isCompleted));
    update();
    // Every click schedules its own reset; the first one to fire ends the shrink.
    QTimer::singleShot(pressMs, this, [this] {
        m_isAnimating = false;
        m_scale.setImmediately(restingScale());
    });
    Q_EMIT isCompletedChanged(m_isCompleted);
    if (m_action)
        m_action();
}

void CheckOffButton::setHovered(bool hovered)
{
    if (hovered == m_isHovered)
        return;
    m_isHovered = hovered;
    if (!m_isAnimating)
        m_scale.animateTo(restingScale(), MotionCurve::easeOut(0.15));
}

void CheckOffButton::enterEvent(QEnterEvent *event)
{
    setHovered(true);
    QAbstractButton::enterEvent(event);
}

void CheckOffButton::leaveEvent(QEvent *event)
{
    setHovered(false);
    QAbstractButton::leaveEvent(event);
}

void CheckOffButton::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // In the margin around the square, outside the press and hover scaling, so it reads in either state.
    KeyboardFocus::paintRing(p, this, QRectF(0, 0, m_size, m_size), LayoutTokens::radiusSM + 3);
    const QPointF centre(m_size / 2, m_size / 2);
    const double scale = std::max(0.0, m_scale.value());
    p.translate(centre);
    p.scale(scale, scale);
    p.translate(-centre);

    const double s = innerSide(m_size);
    const QRectF square(centre.x() - s / 2, centre.y() - s / 2, s, s);
    // 0 = open, 1 = completed; a spring may overshoot, colours stay within their range.
    const double done = m_completion.value();
    const double fill = std::clamp(done, 0.0, 1.0);
    Painting::fillRounded(p, square, LayoutTokens::radiusSM, Painting::withOpacity(ThemeColors::green200(), fill));
    Painting::strokeInside(p, square, LayoutTokens::radiusSM, mix(ThemeColors::border(), ThemeColors::green200(), fill),
                           1.5);

    if (done > 0.001) {
        // The check mark scales in from the centre and fades with it.
        const double glyph = checkmarkPointSize(m_size) * 1.2;
        const double k = std::max(0.0, done);
        p.save();
        p.setOpacity(fill);
        p.translate(centre);
        p.scale(k, k);
        p.translate(-centre);
        IconRegistry::paint(p, QRectF(centre.x() - glyph / 2, centre.y() - glyph / 2, glyph, glyph),
                            QStringLiteral("checkmark"), ThemeColors::green500());
        p.restore();
    }
}

} // namespace ovlin
