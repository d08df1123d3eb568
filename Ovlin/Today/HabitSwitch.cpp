#include "Today/HabitSwitch.h"

#include "DesignSystem/KeyboardFocus.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>

#include <cmath>

namespace ovlin {

HabitSwitch::HabitSwitch(bool on, const QColor &tint, double scale, QWidget *parent)
    : QAbstractButton(parent), m_tint(tint), m_scale(std::isfinite(scale) && scale > 0 ? scale : 1.0),
      m_position(on ? 1.0 : 0.0)
{
    setCheckable(true);
    setChecked(on);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(&m_position, &AnimatedValue::valueChanged, this, qOverload<>(&QWidget::update));
}

QSize HabitSwitch::sizeHint() const
{
    return QSize(int(std::ceil(trackWidth * m_scale)), int(std::ceil(trackHeight * m_scale)));
}

void HabitSwitch::checkStateSet()
{
    m_position.setImmediately(isChecked() ? 1.0 : 0.0);
    update();
}

void HabitSwitch::nextCheckState()
{
    QAbstractButton::nextCheckState();
    m_position.animateTo(isChecked() ? 1.0 : 0.0, MotionCurve::spring(0.25, 0.8));
}

void HabitSwitch::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Scaled about the centre of the widget.
    const QRectF area(rect());
    p.translate(area.center());
    p.scale(m_scale, m_scale);
    const QRectF track(-trackWidth / 2, -trackHeight / 2, trackWidth, trackHeight);

    const double t = std::clamp(m_position.value(), 0.0, 1.0);
    const QColor off = ThemeColors::neutral300();
    const QColor trackColor = QColor::fromRgbF(float(off.redF() + (m_tint.redF() - off.redF()) * t),
                                               float(off.greenF() + (m_tint.greenF() - off.greenF()) * t),
                                               float(off.blueF() + (m_tint.blueF() - off.blueF()) * t));
    Painting::fillRounded(p, track, LayoutTokens::radiusFull,
                          isDown() ? Painting::brightened(trackColor, -0.04) : trackColor);

    const double inset = 2;
    const double knob = trackHeight - 2 * inset;
    const double x = track.left() + inset + (trackWidth - 2 * inset - knob) * t;
    const QRectF knobRect(x, track.top() + inset, knob, knob);
    Painting::drawShadow(p, knobRect, knob / 2, ShadowSpec{2, 0, 1}, QColor::fromRgbF(0, 0, 0, 0.25f));
    Painting::fillRounded(p, knobRect, knob / 2, ThemeColors::surface());
    if (KeyboardFocus::hasRing(this)) {
        p.setPen(QPen(Painting::withOpacity(ThemeColors::neutral700(), 0.5), 1.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(Painting::capsule(track.adjusted(-1.5, -1.5, 1.5, 1.5)));
    }
}

} // namespace ovlin
