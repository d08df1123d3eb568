#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QAbstractButton>

#include <functional>

namespace ovlin {

// A square check-off control: pale green with a check mark when completed, an outlined empty square
// otherwise. A click flips the completion (emitting isCompletedChanged), shrinks the control briefly
// and then runs `action`. It grows slightly under the pointer.
class CheckOffButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(bool isCompleted READ isCompleted WRITE setIsCompleted NOTIFY isCompletedChanged)
public:
    CheckOffButton(bool isCompleted, std::function<void()> action, double size, QWidget *parent = nullptr);

    bool isCompleted() const { return m_isCompleted; }
    // The owner's value changed: redraw without the click animation.
    void setIsCompleted(bool completed);
    void setAction(std::function<void()> action);
    double side() const { return m_size; }

    bool isAnimating() const { return m_isAnimating; }
    bool isHovered() const { return m_isHovered; }
    // The scale the control is drawn at right now (press shrink or hover growth).
    double currentScale() const { return m_scale.value(); }

    // Side of the inner square for a frame of `size`: size - 6, at least 18.
    static double innerSide(double size);
    // Point size of the check mark: 0.45 of the inner square.
    static double checkmarkPointSize(double size);
    static QString accessibilityLabel(bool completed);

    static constexpr double pressedScale = 0.85;
    static constexpr double hoverScale = 1.08;
    static constexpr int pressMs = 250;

    QSize sizeHint() const override;

Q_SIGNALS:
    void isCompletedChanged(bool completed);

protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;

private:
    void handleClick();
    void setHovered(bool hovered);
    double restingScale() const;

    bool m_isCompleted;
    std::function<void()> m_action;
    double m_size;
    bool m_isAnimating = false;
    bool m_isHovered = false;
    AnimatedValue m_scale{1.0};
    AnimatedValue m_completion{0.0};
};

} // namespace ovlin
