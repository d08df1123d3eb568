#pragma once

#include "DesignSystem/Motion.h"

#include <QObject>

class QVariantAnimation;

namespace ovlin {

// A number that moves to its targets along a MotionCurve (a hover shade, a press scale, a stroke width).
// While animations are switched off it jumps to the target at once.
class AnimatedValue : public QObject
{
    Q_OBJECT
public:
    explicit AnimatedValue(double initial = 0, QObject *parent = nullptr);

    double value() const { return m_value; }
    double target() const { return m_target; }
    bool isAnimating() const;

    void animateTo(double target, const MotionCurve &curve);
    void setImmediately(double value);

Q_SIGNALS:
    void valueChanged(double value);

private:
    void apply(double v);

    double m_value = 0;
    double m_target = 0;
    double m_from = 0;
    MotionCurve m_curve;
    QVariantAnimation *m_animation = nullptr;
};

} // namespace ovlin
