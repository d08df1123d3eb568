#include "Shell/SwitchToggle.h"

#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QFocusEvent>
#include <QPainter>

namespace ovlin {

namespace {

const MotionCurve &slideCurve()
{
    static const MotionCurve curve = MotionCurve::easeOut(0.15);
    return curve;
}

QColor mix(const QColor &a, const QColor &b, double t)
{
    return QColor::fromRgbF(float(a.redF() + (b.redF() - a.redF()) * t),
                            float(a.greenF() + (b.greenF() - a.greenF()) * t),
                            float(a.blueF() + (b.blueF() - a.blueF()) * t));
}

} // namespace

SwitchToggle::SwitchToggle(QWidget *parent) : QAbstractButton(parent)
{
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_position, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

QSize SwitchToggle::sizeHint() const
{
    return QSize(trackWidth, trackHeight);
}

void SwitchToggle::checkStateSet()
{
    // Set from the model (not a click): no slide.
    m_position.setImmediately(isChecked() ? 1.0 : 0.0);
}

void SwitchToggle::nextCheckState()
{
    QAbstractButton::nextCheckState();
    m_position.animateTo(isChecked() ? 1.0 : 0.0, slideCurve());
}

void SwitchToggle::focusInEvent(QFocusEvent *event)
{
    QAbstractButton::focusInEvent(event);
}

void SwitchToggle::focusOutEvent(QFocusEvent *event)
{
    QAbstractButton::focusOutEvent(event);
}

void SwitchToggle::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF track =
        QRectF(0, 0, trackWidth, trackHeight).translated((width() - trackWidth) / 2.0, (height() - trackHeight) / 2.0);
    const double t = m_position.value();
    p.fillPath(Painting::capsule(track), mix(ThemeColors::neutral300(), ThemeColors::green500(), t));
    if (KeyboardFocus::hasRing(this))
        Painting::strokeInside(p, track.adjusted(-2, -2, 2, 2), LayoutTokens::radiusFull,
                               Painting::withOpacity(ThemeColors::primaryDark(), 0.5), 2);

    const double inset = 2;
    const double knob = trackHeight - 2 * inset;
    const double x = track.left() + inset + t * (trackWidth - 2 * inset - knob);
    const QRectF knobRect(x, track.top() + inset, knob, knob);
    Painting::drawShadow(p, knobRect, knob / 2, ShadowSpec{2, 0, 1},
                         Painting::withOpacity(ThemeColors::neutral900(), 0.25));
    p.setPen(Qt::NoPen);
    p.setBrush(ThemeColors::surface());
    p.drawEllipse(knobRect);
    if (isDown()) {
        p.setBrush(Painting::withOpacity(ThemeColors::neutral900(), 0.06));
        p.drawEllipse(knobRect);
    }
}

} // namespace ovlin
