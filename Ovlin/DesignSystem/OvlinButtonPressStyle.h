#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QPainter;
class QRectF;

namespace ovlin {

// Press feedback for a custom-painted button: shrinks it to 0.97 about its centre while it is held
// down, easing out over 0.12 s. Call `apply` at the start of the button's paint event.
class OvlinButtonPressStyle : public QObject
{
    Q_OBJECT
public:
    explicit OvlinButtonPressStyle(QAbstractButton *button);

    static constexpr double pressedScale = 0.97;

    // Follows the button's pressed state and scales the painter about the centre of `rect`.
    void apply(QPainter &p, const QRectF &rect);
    double scale() const { return m_scale.value(); }

private:
    QPointer<QAbstractButton> m_button;
    AnimatedValue m_scale{1.0};
};

} // namespace ovlin
