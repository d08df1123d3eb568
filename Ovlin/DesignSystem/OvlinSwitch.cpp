#include "DesignSystem/OvlinSwitch.h"

#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"

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

} // namespace

OvlinSwitch::OvlinSwitch(const Look &look, QWidget *parent) : QAbstractButton(parent), m_look(look)
{
    if (!std::isfinite(m_look.scale) || m_look.scale <= 0)
        m_look.scale = 1.0;
    setCheckable(true);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_position, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

QSize OvlinSwitch::sizeHint() const
{
    return QSize(int(std::ceil(m_look.track.width() * m_look.scale)),
                 int(std::ceil(m_look.track.height() * m_look.scale)));
}

void OvlinSwitch::checkStateSet()
{
    m_position.setImmediately(isChecked() ? 1.0 : 0.0);
    update();
}

void OvlinSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    m_position.animateTo(isChecked() ? 1.0 : 0.0, m_look.slide);
}

void OvlinSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF area(rect());
    p.translate(area.center());
    p.scale(m_look.scale, m_look.scale);
    const double trackWidth = m_look.track.width();
    const double trackHeight = m_look.track.height();
    const QRectF track(-trackWidth / 2, -trackHeight / 2, trackWidth, trackHeight);

    const double t = std::clamp(m_position.value(), 0.0, 1.0);
    p.fillPath(Painting::capsule(track), mix(ThemeColors::neutral300(), m_look.onColor, t));
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
