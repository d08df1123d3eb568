#include "DesignSystem/OvlinInputModifier.h"

#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"

#include <QEvent>
#include <QLineEdit>
#include <QPainter>

namespace ovlin {

OvlinInputModifier *OvlinInputModifier::apply(QLineEdit *field)
{
    if (!field)
        return nullptr;
    if (auto *existing = field->findChild<OvlinInputModifier *>(QString(), Qt::FindDirectChildrenOnly))
        return existing;
    return new OvlinInputModifier(field);
}

OvlinInputModifier::OvlinInputModifier(QLineEdit *field) : QObject(field), m_field(field)
{
    field->setFrame(false);
    field->setFont(ThemeFonts::body());
    QPalette pal = field->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::Text, ThemeColors::textPrimary());
        pal.setColor(group, QPalette::Base, Qt::transparent);
        pal.setColor(group, QPalette::Highlight, ThemeColors::accent());
        pal.setColor(group, QPalette::HighlightedText, ThemeColors::textPrimary());
    }
    pal.setColor(QPalette::Disabled, QPalette::Base, Qt::transparent);
    field->setPalette(pal);
    const int pad = int(LayoutTokens::spacingLG);
    field->setTextMargins(pad, 0, pad, 0);
    field->setFixedHeight(int(LayoutTokens::controlHeightMedium));
    field->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_isFocused = field->hasFocus();
    m_focus.setImmediately(m_isFocused ? 1 : 0);
    connect(&m_focus, &AnimatedValue::valueChanged, this, [this] {
        if (m_field)
            m_field->update();
    });
    field->installEventFilter(this);
}

bool OvlinInputModifier::eventFilter(QObject *watched, QEvent *event)
{
    // A focused field being destroyed loses its focus from ~QWidget, when it is no longer a line edit:
    // compare plain pointers and leave it alone then.
    auto *field = qobject_cast<QLineEdit *>(watched);
    if (field && watched == parent()) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            m_isFocused = event->type() == QEvent::FocusIn;
            m_focus.animateTo(m_isFocused ? 1 : 0, MotionCurve::easeOut(0.12));
            field->update();
            break;
        case QEvent::Paint:
            // Drawn under the field's own text, which follows.
            paintBackground();
            break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void OvlinInputModifier::paintBackground()
{
    QPainter p(m_field);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(m_field->rect());
    const double radius = LayoutTokens::radiusSM;
    Painting::fillRounded(p, r, radius, ThemeColors::inputBackground());
    const double t = m_focus.value();
    const QColor from = ThemeColors::border();
    const QColor to = ThemeColors::neutral700();
    const QColor stroke = QColor::fromRgbF(from.redF() + (to.redF() - from.redF()) * float(t),
                                           from.greenF() + (to.greenF() - from.greenF()) * float(t),
                                           from.blueF() + (to.blueF() - from.blueF()) * float(t));
    Painting::strokeInside(p, r, radius, stroke, 1 + t);
}

} // namespace ovlin
