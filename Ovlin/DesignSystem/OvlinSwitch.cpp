#include "DesignSystem/OvlinSwitch.h"

#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

MotionCurve knobSlide()
{
    return MotionCurve::easeOut(0.15);
}

} // namespace

OvlinSwitch::OvlinSwitch(double scale, QWidget *parent)
    : QAbstractButton(parent), m_scale(std::isfinite(scale) && scale > 0 ? scale : 1.0)
{
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_position, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

QSize OvlinSwitch::sizeHint() const
{
    return QSize(int(std::ceil(trackWidth + 2 * ringMargin)), int(std::ceil(trackHeight + 2 * ringMargin)));
}

void OvlinSwitch::checkStateSet()
{
    m_position.setImmediately(isChecked() ? 1.0 : 0.0);
    update();
}

void OvlinSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    m_position.animateTo(isChecked() ? 1.0 : 0.0, knobSlide());
}

void OvlinSwitch::slideFrom(double position)
{
    m_position.setImmediately(std::clamp(position, 0.0, 1.0));
    m_position.animateTo(isChecked() ? 1.0 : 0.0, knobSlide());
}

void OvlinSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre = QRectF(rect()).center();
    const double width = trackWidth * m_scale;
    const double height = trackHeight * m_scale;
    const QRectF track(centre.x() - width / 2, centre.y() - height / 2, width, height);

    // The accent colour is the palette's highlight, so the switch matches the platform's own look.
    const double t = std::clamp(m_position.value(), 0.0, 1.0);
    p.fillPath(Painting::capsule(track), mix(ThemeColors::neutral300(), ThemeColors::primary(), t));

    const double inset = 2 * m_scale;
    const double knob = height - 2 * inset;
    const double x = track.left() + inset + t * (width - 2 * inset - knob);
    const QRectF knobRect(x, track.top() + inset, knob, knob);
    Painting::drawShadow(p, knobRect, knob / 2, ShadowSpec{2 * m_scale, 0, m_scale},
                         Painting::withOpacity(ThemeColors::neutral900(), 0.25));
    p.setPen(Qt::NoPen);
    p.setBrush(ThemeColors::surface());
    p.drawEllipse(knobRect);
    if (isDown()) {
        p.setBrush(Painting::withOpacity(ThemeColors::neutral900(), 0.06));
        p.drawEllipse(knobRect);
    }

    // Outside the track with a small gap, so it reads as a ring in either state.
    if (KeyboardFocus::hasRing(this))
        Painting::strokeInside(p, track.adjusted(-ringMargin, -ringMargin, ringMargin, ringMargin),
                               LayoutTokens::radiusFull, ThemeColors::neutral700(), 2);
}

} // namespace ovlin
