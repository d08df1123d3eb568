#pragma once

#include <QEasingCurve>

class QVariantAnimation;
class QWidget;

namespace ovlin {

// A timing curve for the design system's animations: ease-out, ease-in-out or linear over a duration,
// or a spring given by its response (seconds per undamped oscillation) and damping fraction.
struct MotionCurve
{
    enum class Kind { linear, easeOut, easeInOut, spring };

    Kind kind = Kind::easeOut;
    double duration = 0.25; // seconds; for springs derived from response and damping
    double response = 0.5;
    double damping = 0.825;

    static MotionCurve easeOut(double seconds);
    static MotionCurve easeInOut(double seconds);
    static MotionCurve linear(double seconds);
    static MotionCurve spring(double response, double dampingFraction);

    // Seconds until the motion has come to rest (springs: until within 0.1 % of the target).
    double totalDuration() const;
    // Progress from 0 (start) to 1 (target) after `seconds`; springs may overshoot.
    double progressAt(double seconds) const;
};

namespace Motion {
// One switch for every animation of the interface; tests turn it off to see final states at once.
void setAnimationsEnabled(bool enabled);
bool animationsEnabled();

// The ease-out and ease-in-out cubic curves, for code that drives a QVariantAnimation itself.
QEasingCurve easeOutCurve();
QEasingCurve easeInOutCurve();
// Duration in milliseconds for a QVariantAnimation: 0 while animations are off.
int durationMs(const MotionCurve &curve);
// A spinner's endless turn: `phase` runs from 0 to 1 once a second and `owner` repaints on each step.
// Owned by `owner`; start and stop it as the spinner shows and hides.
QVariantAnimation *makeSpin(QWidget *owner, double *phase);
} // namespace Motion

} // namespace ovlin
