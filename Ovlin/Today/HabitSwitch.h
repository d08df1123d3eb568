#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QAbstractButton>

namespace ovlin {

// An on/off switch: a capsule track (the tint while on) with a round knob. A click flips it and emits
// toggled(); the owner decides what the flip means. Drawn at `scale` of its natural 38 x 22 size.
class HabitSwitch : public QAbstractButton
{
    Q_OBJECT
public:
    explicit HabitSwitch(bool on, const QColor &tint, double scale = 1.0, QWidget *parent = nullptr);

    static constexpr double trackWidth = 38;
    static constexpr double trackHeight = 22;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;

private:
    QColor m_tint;
    double m_scale;
    AnimatedValue m_position;
};

} // namespace ovlin
