#include "DesignSystem/OvlinCard.h"

#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QChildEvent>
#include <QPainter>
#include <QVBoxLayout>

#include <cmath>

namespace ovlin {

namespace {

// Lies over the card's children and darkens them all a little while the card is hovered.
class CardShade : public QWidget
{
public:
    CardShade(QWidget *parent, const AnimatedValue *hover) : QWidget(parent), m_hover(hover)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const double amount = -OvlinCard::hoverBrightness * m_hover->value();
        if (amount <= 0)
            return;
        QPainter p(this);
        Painting::fillRounded(p, QRectF(rect()), LayoutTokens::radiusLG, QColor::fromRgbF(0, 0, 0, float(amount)));
    }

private:
    const AnimatedValue *m_hover;
};

} // namespace

OvlinCard::OvlinCard(double padding, const QColor &background, OvlinCardBackground backgroundView, bool hasBorder,
                     bool hasShadow, QWidget *content, QWidget *parent)
    : QWidget(parent), m_padding(std::isfinite(padding) ? std::max(0.0, padding) : 0), m_background(background),
      m_backgroundView(std::move(backgroundView)), m_hasBorder(hasBorder), m_hasShadow(hasShadow), m_content(content)
{
    setAttribute(Qt::WA_Hover);
    m_shade = new CardShade(this, &m_hover);
    auto *layout = new QVBoxLayout(this);
    const int pad = int(std::lround(m_padding));
    layout->setContentsMargins(pad, pad, pad, pad);
    layout->setSpacing(0);
    if (m_content)
        layout->addWidget(m_content);
    m_shade->raise();
    connect(&m_hover, &AnimatedValue::valueChanged, this, [this] {
        update();
        m_shade->update();
    });
}

QColor OvlinCard::borderColor() const
{
    return m_hasBorder ? ThemeColors::border() : ThemeColors::borderSubtle();
}

QColor OvlinCard::shadowColor() const
{
    return m_hasShadow ? Painting::withOpacity(ThemeColors::shadow(), 0.08) : QColor(Qt::transparent);
}

void OvlinCard::enterEvent(QEnterEvent *event)
{
    m_isHovered = true;
    m_hover.animateTo(1, MotionCurve::easeOut(0.15));
    QWidget::enterEvent(event);
}

void OvlinCard::leaveEvent(QEvent *event)
{
    m_isHovered = false;
    m_hover.animateTo(0, MotionCurve::easeOut(0.15));
    QWidget::leaveEvent(event);
}

void OvlinCard::resizeEvent(QResizeEvent *event)
{
    m_shade->setGeometry(rect());
    QWidget::resizeEvent(event);
}

void OvlinCard::childEvent(QChildEvent *event)
{
    QWidget::childEvent(event);
    if (m_shade && (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildPolished) &&
        event->child() != m_shade)
        m_shade->raise();
}

void OvlinCard::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF r(rect());
    const double radius = LayoutTokens::radiusLG;
    Painting::drawShadow(p, r, radius, LayoutTokens::cardShadow, shadowColor());
    if (m_backgroundView) {
        Painting::fillPathWith(p, Painting::roundedRect(r, radius), [&](QPainter &lp) {
            lp.fillRect(r, m_background);
            m_backgroundView(lp, r);
        });
    } else {
        Painting::fillRounded(p, r, radius, m_background);
    }
    Painting::strokeInside(p, r, radius, borderColor(), 1);
}

} // namespace ovlin
