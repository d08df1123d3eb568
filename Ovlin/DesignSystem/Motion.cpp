#include "DesignSystem/Motion.h"

#include <QPointF>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <numbers>

namespace ovlin {

namespace {
std::atomic<bool> g_animationsEnabled{true};

double sanitize(double v, double fallback)
{
    return std::isfinite(v) ? v : fallback;
}
} // namespace

MotionCurve MotionCurve::easeOut(double seconds)
{
    MotionCurve c;
    c.kind = Kind::easeOut;
    c.duration = std::max(0.0, sanitize(seconds, 0));
    return c;
}

MotionCurve MotionCurve::easeInOut(double seconds)
{
    MotionCurve c = easeOut(seconds);
    c.kind = Kind::easeInOut;
    return c;
}

MotionCurve MotionCurve::linear(double seconds)
{
    MotionCurve c = easeOut(seconds);
    c.kind = Kind::linear;
    return c;
}

MotionCurve MotionCurve::spring(double response, double dampingFraction)
{
    MotionCurve c;
    c.kind = Kind::spring;
    c.response = std::max(0.0, sanitize(response, 0));
    // Without damping a spring never settles; keep a little.
    c.damping = std::clamp(sanitize(dampingFraction, 1), 0.05, 4.0);
    c.duration = 0;
    if (c.response <= 0)
        return c;
    // Settling time: the last moment the motion is further than 0.1 % from its target, found by
    // sampling (the closed forms differ per damping regime), capped at 10 s.
    c.duration = 10;
    double settled = 0;
    for (int i = 1; i <= 2400; ++i) {
        const double t = i / 240.0;
        if (std::abs(1 - c.progressAt(t)) > 0.001)
            settled = t;
    }
    c.duration = std::min(10.0, settled + 1 / 240.0);
    return c;
}

double MotionCurve::totalDuration() const
{
    return std::max(0.0, sanitize(duration, 0));
}

double MotionCurve::progressAt(double seconds) const
{
    const double t = sanitize(seconds, 0);
    const double total = totalDuration();
    if (total <= 0 || t >= total)
        return 1;
    if (t <= 0)
        return 0;
    switch (kind) {
    case Kind::linear: return t / total;
    case Kind::easeOut: return Motion::easeOutCurve().valueForProgress(t / total);
    case Kind::easeInOut: return Motion::easeInOutCurve().valueForProgress(t / total);
    case Kind::spring: {
        const double omega = 2 * std::numbers::pi / response;
        const double zeta = std::clamp(damping, 0.05, 4.0);
        if (zeta < 1) {
            const double wd = omega * std::sqrt(1 - zeta * zeta);
            return 1 - std::exp(-zeta * omega * t) * (std::cos(wd * t) + zeta * omega / wd * std::sin(wd * t));
        }
        if (zeta == 1)
            return 1 - std::exp(-omega * t) * (1 + omega * t);
        const double s = omega * std::sqrt(zeta * zeta - 1);
        const double r1 = -zeta * omega + s;
        const double r2 = -zeta * omega - s;
        // x(0) = 0, x'(0) = 0, target 1.
        return 1 - (r2 * std::exp(r1 * t) - r1 * std::exp(r2 * t)) / (r2 - r1);
    }
    }
    return 1;
}

namespace Motion {

void setAnimationsEnabled(bool enabled)
{
    g_animationsEnabled.store(enabled);
}
bool animationsEnabled()
{
    return g_animationsEnabled.load();
}

QEasingCurve easeOutCurve()
{
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0, 0), QPointF(0.58, 1), QPointF(1, 1));
        return c;
    }();
    return curve;
}

QEasingCurve easeInOutCurve()
{
    static const QEasingCurve curve = [] {
        QEasingCurve c(QEasingCurve::BezierSpline);
        c.addCubicBezierSegment(QPointF(0.42, 0), QPointF(0.58, 1), QPointF(1, 1));
        return c;
    }();
    return curve;
}

int durationMs(const MotionCurve &curve)
{
    if (!animationsEnabled())
        return 0;
    return int(std::lround(curve.totalDuration() * 1000));
}

QVariantAnimation *makeSpin(QWidget *owner, double *phase)
{
    auto *spin = new QVariantAnimation(owner);
    spin->setStartValue(0.0);
    spin->setEndValue(1.0);
    spin->setDuration(1000);
    spin->setLoopCount(-1);
    QObject::connect(spin, &QVariantAnimation::valueChanged, owner, [owner, phase](const QVariant &v) {
        *phase = v.toDouble();
        owner->update();
    });
    return spin;
}

} // namespace Motion
} // namespace ovlin
