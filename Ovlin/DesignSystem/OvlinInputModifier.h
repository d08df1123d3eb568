#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QObject>
#include <QPointer>
#include <QRectF>

class QLineEdit;
class QTimer;

namespace ovlin {

// The one look of single-line text inputs: a plain field on a light rounded fill (44 high, 16 pixels of
// padding on both sides) with a thin border that turns into a 2-pixel dark border while the field has
// keyboard focus, and an insertion point in the accent colour. The field's text, prompt and width stay
// the caller's.
class OvlinInputModifier : public QObject
{
    Q_OBJECT
public:
    // Styles `field` and tracks its focus; the modifier is owned by the field.
    static OvlinInputModifier *apply(QLineEdit *field);

    bool isFocused() const { return m_isFocused; }
    // 0 unfocused ... 1 focused (animated over 0.12 s).
    double focusProgress() const { return m_focus.value(); }
    // Where the insertion point is drawn now, in the field's coordinates; empty while none is drawn
    // (no focus, read-only, or the off phase of its blink). It blinks at the platform's cursor flash
    // rate and stays on while animations are switched off.
    QRectF caretRect() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit OvlinInputModifier(QLineEdit *field);
    void paintBackground();
    // Shows the caret and starts its blink afresh (focus gained, text typed, cursor moved).
    void restartBlink();
    void updateCaret();

    QPointer<QLineEdit> m_field;
    bool m_isFocused = false;
    AnimatedValue m_focus{0.0};
    QPointer<QWidget> m_caretLayer;
    QTimer *m_blink = nullptr;
    bool m_caretOn = false;
    QRect m_caretDrawn;
};

} // namespace ovlin
