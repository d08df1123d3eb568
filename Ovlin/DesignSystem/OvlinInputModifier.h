#pragma once

#include "DesignSystem/AnimatedValue.h"

#include <QObject>
#include <QPointer>

class QLineEdit;

namespace ovlin {

// The one look of single-line text inputs: a plain field on a light rounded fill (44 high, 16 pixels of
// padding on both sides) with a thin border that turns into a 2-pixel dark border while the field has
// keyboard focus. The field's text, prompt and width stay the caller's.
class OvlinInputModifier : public QObject
{
    Q_OBJECT
public:
    // Styles `field` and tracks its focus; the modifier is owned by the field.
    static OvlinInputModifier *apply(QLineEdit *field);

    bool isFocused() const { return m_isFocused; }
    // 0 unfocused ... 1 focused (animated over 0.12 s).
    double focusProgress() const { return m_focus.value(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    explicit OvlinInputModifier(QLineEdit *field);
    void paintBackground();

    QPointer<QLineEdit> m_field;
    bool m_isFocused = false;
    AnimatedValue m_focus{0.0};
};

} // namespace ovlin
