#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QAbstractButton>

namespace ovlin {

// An on/off switch: a capsule track with a round knob that slides to the right when on. Checkable;
// clicking or Space flips it and emits toggled().
class SwitchToggle : public QAbstractButton
{
    Q_OBJECT
public:
    explicit SwitchToggle(QWidget *parent = nullptr);

    static constexpr int trackWidth = 40;
    static constexpr int trackHeight = 24;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void checkStateSet() override;
    void nextCheckState() override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    AnimatedValue m_position{0.0};
};

} // namespace ovlin
