#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QAbstractButton>

namespace ovlin {

// An on/off switch in the look of a desktop switch: a capsule track in the accent colour while on (neutral
// while off) with a round white knob that slides to the right when on. Checkable; clicking or Space flips
// it and emits toggled(); a state set from the model does not slide.
//
// `scale` draws the switch smaller or larger about its centre without changing the room it takes in a
// layout, so a scaled switch sits where a full-size one would.
class OvlinSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit OvlinSwitch(double scale = 1.0, QWidget *parent = nullptr);

    static constexpr double trackWidth = 38;
    static constexpr double trackHeight = 22;
    // Room on every side of the track for the keyboard focus ring (a 1-pixel gap, then the 2-pixel ring).
    static constexpr double ringMargin = 3;

    double scale() const { return m_scale; }
    // Where the knob is drawn now: 0 at the off end, 1 at the on end (in between while it slides).
    double knobPosition() const { return m_position.value(); }
    // For a switch that takes the place of another one: starts the knob at `position` (the other's
    // knobPosition) and slides it to the state set here.
    void slideFrom(double position);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    double m_scale;
    AnimatedValue m_position{0.0};
};

} // namespace ovlin
