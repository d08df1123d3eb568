#pragma once

#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"

#include <QAbstractButton>
#include <QColor>
#include <QSizeF>

namespace ovlin {

// An on/off switch: a capsule track, tinted while on, with a round knob that slides to the right when on.
// Checkable; clicking or Space flips it and emits toggled(); a state set from the model does not slide.
class OvlinSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    struct Look
    {
        QSizeF track{40, 24};
        QColor onColor = ThemeColors::green500();
        // Drawn at this share of the track size, about the widget's centre.
        double scale = 1.0;
        MotionCurve slide = MotionCurve::easeOut(0.15);
    };

    explicit OvlinSwitch(QWidget *parent = nullptr) : OvlinSwitch(Look(), parent) {}
    explicit OvlinSwitch(const Look &look, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    Look m_look;
    AnimatedValue m_position{0.0};
};

} // namespace ovlin
