#include "DesignSystem/AnimatedValue.h"

#include <QVariantAnimation>

#include <cmath>

namespace ovlin {

AnimatedValue::AnimatedValue(double initial, QObject *parent)
    : QObject(parent), m_value(std::isfinite(initial) ? initial : 0), m_target(m_value)
{
}

bool AnimatedValue::isAnimating() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void AnimatedValue::animateTo(double target, const MotionCurve &curve)
{
    if (!std::isfinite(target))
        return;
    if (target == m_target && (isAnimating() || m_value == target))
        return;
    m_target = target;
    const int ms = Motion::durationMs(curve);
    if (ms <= 0) {
        setImmediately(target);
        return;
    }
    if (!m_animation) {
        m_animation = new QVariantAnimation(this);
        m_animation->setStartValue(0.0);
        m_animation->setEndValue(1.0);
        connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &v) {
            const double t = v.toDouble() * m_curve.totalDuration();
            const double progress = m_curve.progressAt(t);
            apply(m_from + (m_target - m_from) * progress);
        });
        connect(m_animation, &QVariantAnimation::finished, this, [this] { apply(m_target); });
    }
    m_animation->stop();
    m_from = m_value;
    m_curve = curve;
    m_animation->setDuration(ms);
    m_animation->start();
}

void AnimatedValue::setImmediately(double value)
{
    if (!std::isfinite(value))
        return;
    if (m_animation)
        m_animation->stop();
    m_target = value;
    apply(value);
}

void AnimatedValue::apply(double v)
{
    if (v == m_value)
        return;
    m_value = v;
    Q_EMIT valueChanged(v);
}

} // namespace ovlin
