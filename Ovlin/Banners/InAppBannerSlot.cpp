#include "Banners/InAppBannerSlot.h"

#include "Banners/InAppBannerView.h"
#include "Base/MainThread.h"
#include "DesignSystem/AnimatedValue.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/Painting.h"

#include <QGraphicsEffect>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace {

constexpr double kEntryScale = 0.98;

const MotionCurve &bannerCurve()
{
    static const MotionCurve curve = MotionCurve::spring(0.42, 0.84);
    return curve;
}

} // namespace

// Paints the card with the motion's opacity and scale (anchored at the card's top edge) and the card's
// shadow around it, outside the slot's own rectangle.
class BannerMotionEffect : public QGraphicsEffect
{
public:
    explicit BannerMotionEffect(QObject *parent) : QGraphicsEffect(parent) {}

    void setState(double opacity, double scale)
    {
        if (opacity == m_opacity && scale == m_scale)
            return;
        m_opacity = opacity;
        m_scale = scale;
        update();
    }

    QRectF boundingRectFor(const QRectF &rect) const override
    {
        // Room for the card's shadow (and its offset) on every side.
        const double pad = std::ceil(Painting::shadowExtent(LayoutTokens::overlayShadow)) + 1;
        return rect.adjusted(-pad, -pad, pad, pad);
    }

protected:
    void draw(QPainter *painter) override
    {
        if (m_opacity <= 0)
            return;
        const QRectF card = sourceBoundingRect(Qt::LogicalCoordinates);
        painter->save();
        painter->setOpacity(painter->opacity() * m_opacity);
        if (m_scale != 1.0) {
            const QPointF anchor(card.center().x(), card.top());
            painter->translate(anchor);
            painter->scale(m_scale, m_scale);
            painter->translate(-anchor);
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
        }
        InAppBannerView::paintShadow(*painter, card);
        if (m_scale == 1.0 && m_opacity >= 1.0) {
            drawSource(painter);
        } else {
            QPoint offset;
            const QPixmap pixmap = sourcePixmap(Qt::LogicalCoordinates, &offset, QGraphicsEffect::NoPad);
            painter->drawPixmap(offset, pixmap);
        }
        painter->restore();
    }

private:
    double m_opacity = 1;
    double m_scale = 1;
};

InAppBannerSlot::InAppBannerSlot(InAppBannerView *view, QWidget *host)
    : QWidget(host), m_view(view), m_effect(new BannerMotionEffect(this)), m_presence(new AnimatedValue(0, this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    setAttribute(Qt::WA_NoSystemBackground);
    view->setParent(this);
    // The shadow reaches beyond the card: the effect paints it, outside the area that takes clicks.
    view->setDrawsShadow(false);
    setGraphicsEffect(m_effect);
    connect(m_presence, &AnimatedValue::valueChanged, this, [this] { place(); });
    m_presence->animateTo(1, bannerCurve());
    place();
}

InAppBannerSlot::~InAppBannerSlot() = default;

QRect InAppBannerSlot::restingRect(const BannerData &banner, int hostWidth)
{
    const int side = int(LayoutTokens::spacingXXL);
    const int band = std::max(0, hostWidth - 2 * side);
    const int width = std::min(band, int(LayoutTokens::bannerMaxWidth));
    const int left = side + (band - width) / 2;
    return {left, int(LayoutTokens::spacingSM), width, InAppBannerView::cardHeight(banner, width)};
}

double InAppBannerSlot::opacity() const
{
    return std::clamp(m_presence->value(), 0.0, 1.0);
}

double InAppBannerSlot::scale() const
{
    if (m_leaving)
        return 1.0;
    return kEntryScale + (1.0 - kEntryScale) * std::clamp(m_presence->value(), 0.0, 1.0);
}

void InAppBannerSlot::leave()
{
    if (m_leaving)
        return;
    m_leaving = true;
    m_view->setEnabled(false);
    // What lies under a banner on its way out gets the clicks.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    m_presence->animateTo(0, bannerCurve());
    place();
}

void InAppBannerSlot::place()
{
    QWidget *host = parentWidget();
    if (!host)
        return;
    const QRect rest = restingRect(m_view->banner(), host->width());
    const int offset = int(std::lround((1 - m_presence->value()) * -(rest.bottom() + 1)));
    setGeometry(rest.translated(0, offset));
    m_view->setGeometry(0, 0, rest.width(), rest.height());
    m_effect->setState(opacity(), scale());
    // Gone once out of sight; the spring would only carry it on above the edge.
    if (m_leaving && m_presence->value() <= 0.0) {
        hide();
        deleteLater();
    }
}

} // namespace ovlin
