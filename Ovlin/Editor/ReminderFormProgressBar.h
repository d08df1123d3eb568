#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QWidget>

namespace ovlin {

// The sheet's 4-pixel progress bar: a light capsule track with a green gradient capsule over it, as wide
// as the share of steps done and never narrower than 64 pixels. A change of step eases the fill to its
// new width over 0.18 s.
class ReminderFormProgressBar : public QWidget
{
    Q_OBJECT
public:
    explicit ReminderFormProgressBar(int step, int totalSteps, QWidget *parent = nullptr);

    void setStep(int step);
    int step() const { return m_step; }

    // The fill's width for a bar of `barWidth` at `step` of `totalSteps`.
    static double fillWidth(double barWidth, int step, int totalSteps);
    // The fill as drawn now (follows the animation).
    double currentFillWidth() const;
    bool isAnimating() const { return m_progress.isAnimating(); }

    static constexpr double barHeight = 4;
    static constexpr double minimumFill = 64;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static double fraction(int step, int totalSteps);

    int m_step;
    int m_totalSteps;
    AnimatedValue m_progress;
};

} // namespace ovlin
