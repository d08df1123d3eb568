#include "DesignSystem/OvlinButtonPressStyle.h"

#include <QAbstractButton>
#include <QPainter>

namespace ovlin {

OvlinButtonPressStyle::OvlinButtonPressStyle(QAbstractButton *button) : QObject(button), m_button(button)
{
    connect(&m_scale, &AnimatedValue::valueChanged, this, [this] {
        if (m_button)
            m_button->update();
    });
}

void OvlinButtonPressStyle::apply(QPainter &p, const QRectF &rect)
{
    const bool down = m_button && m_button->isDown();
    m_scale.animateTo(down ? pressedScale : 1.0, MotionCurve::easeOut(0.12));
    const double s = m_scale.value();
    if (s == 1.0)
        return;
    const QPointF c = rect.center();
    p.translate(c);
    p.scale(s, s);
    p.translate(-c);
}

} // namespace ovlin
