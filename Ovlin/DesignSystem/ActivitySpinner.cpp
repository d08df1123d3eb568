#include "DesignSystem/ActivitySpinner.h"

#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/ThemeColors.h"

#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace ovlin {

ActivitySpinner::ActivitySpinner(double side, QWidget *parent)
    : QWidget(parent), m_side(std::isfinite(side) && side > 0 ? side : regularSide)
{
    const int s = int(std::ceil(m_side));
    setFixedSize(s, s);
    setAccessibleName(QStringLiteral("Loading"));
}

QSize ActivitySpinner::sizeHint() const
{
    const int s = int(std::ceil(m_side));
    return {s, s};
}

bool ActivitySpinner::isSpinning() const
{
    return m_spin && m_spin->state() == QAbstractAnimation::Running;
}

void ActivitySpinner::updateAnimation()
{
    // Runs only while on screen, so a hidden spinner costs nothing.
    if (isVisible() && Motion::animationsEnabled()) {
        if (!m_spin)
            m_spin = Motion::makeSpin(this, &m_phase);
        m_spin->start();
    } else if (m_spin) {
        m_spin->stop();
    }
}

void ActivitySpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateAnimation();
}

void ActivitySpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    updateAnimation();
}

void ActivitySpinner::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paintSpinner(p, QRectF(rect()), ThemeColors::textSecondary(), m_phase);
}

} // namespace ovlin
