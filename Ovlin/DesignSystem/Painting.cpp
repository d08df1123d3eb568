#include "DesignSystem/Painting.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace ovlin {

namespace {

constexpr double kCornerSmoothing = 0.6;

double deg2rad(double d)
{
    return d * std::numbers::pi / 180.0;
}

// One smoothed corner in local coordinates: the corner point is the origin, the path arrives along the
// top edge from the left (-x) and leaves downwards (+y). Follows the usual squircle construction:
// a circular arc in the middle, eased into the straight edges by two cubic curves.
QPainterPath cornerPath(double radius, double budget)
{
    QPainterPath path;
    if (radius <= 0) {
        path.moveTo(0, 0);
        return path;
    }
    double smoothing = kCornerSmoothing;
    double p = (1 + smoothing) * radius;
    const double maxSmoothing = budget / radius - 1;
    smoothing = std::clamp(std::min(smoothing, maxSmoothing), 0.0, kCornerSmoothing);
    p = std::min(p, budget);

    const double arcMeasure = 90 * (1 - smoothing);
    const double arcSection = std::sin(deg2rad(arcMeasure / 2)) * radius * std::sqrt(2.0);
    const double angleAlpha = (90 - arcMeasure) / 2;
    const double p3ToP4 = radius * std::tan(deg2rad(angleAlpha / 2));
    const double angleBeta = 45 * smoothing;
    const double c = p3ToP4 * std::cos(deg2rad(angleBeta));
    const double d = c * std::tan(deg2rad(angleBeta));
    const double b = (p - arcSection - c - d) / 3;
    const double a = 2 * b;

    path.moveTo(-p, 0);
    const QPointF e1(-p + a + b + c, d);
    path.cubicTo(QPointF(-p + a, 0), QPointF(-p + a + b, 0), e1);
    // Arc centred on the 45-degree diagonal of the circle at (-radius, radius).
    const QRectF circle(-2 * radius, 0, 2 * radius, 2 * radius);
    path.arcTo(circle, 45 + arcMeasure / 2, -arcMeasure);
    const QPointF e2 = e1 + QPointF(arcSection, arcSection);
    path.cubicTo(e2 + QPointF(d, c), e2 + QPointF(d, b + c), QPointF(0, p));
    return path;
}

// Three box blurs approximate a gaussian of the given sigma; blurs the alpha plane in place.
void blurAlpha(std::vector<float> &plane, int w, int h, double sigma)
{
    if (sigma <= 0 || w <= 0 || h <= 0)
        return;
    const int passes = 3;
    const double wIdeal = std::sqrt(12.0 * sigma * sigma / passes + 1);
    int wl = int(std::floor(wIdeal));
    if (wl % 2 == 0)
        --wl;
    const int wu = wl + 2;
    const double mIdeal = (12 * sigma * sigma - passes * wl * wl - 4 * passes * wl - 3 * passes) / (-4.0 * wl - 4);
    const int m = int(std::round(mIdeal));
    std::vector<float> tmp(plane.size());
    auto boxPass = [&](const std::vector<float> &src, std::vector<float> &dst, int r, bool horizontal) {
        const int lines = horizontal ? h : w;
        const int len = horizontal ? w : h;
        const float scale = 1.0f / float(2 * r + 1);
        for (int line = 0; line < lines; ++line) {
            auto at = [&](int i) -> float {
                if (i < 0 || i >= len)
                    return 0.0f;
                return horizontal ? src[size_t(line) * size_t(w) + size_t(i)]
                                  : src[size_t(i) * size_t(w) + size_t(line)];
            };
            float acc = 0;
            for (int i = -r; i <= r; ++i)
                acc += at(i);
            for (int i = 0; i < len; ++i) {
                const size_t idx =
                    horizontal ? size_t(line) * size_t(w) + size_t(i) : size_t(i) * size_t(w) + size_t(line);
                dst[idx] = acc * scale;
                acc += at(i + r + 1) - at(i - r);
            }
        }
    };
    for (int i = 0; i < passes; ++i) {
        const int box = i < m ? wl : wu;
        const int r = std::max(0, (box - 1) / 2);
        if (r == 0)
            continue;
        boxPass(plane, tmp, r, true);
        boxPass(tmp, plane, r, false);
    }
}

} // namespace

QPainterPath Painting::roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double budget = std::min(rect.width(), rect.height()) / 2;
    const double r = std::clamp(std::isfinite(radius) ? radius : budget, 0.0, budget);
    if (r <= 0) {
        path.addRect(rect);
        return path;
    }
    const QPainterPath corner = cornerPath(r, budget);
    const QTransform corners[4] = {
        QTransform::fromTranslate(rect.right(), rect.top()),
        QTransform::fromTranslate(rect.right(), rect.bottom()).rotate(90),
        QTransform::fromTranslate(rect.left(), rect.bottom()).rotate(180),
        QTransform::fromTranslate(rect.left(), rect.top()).rotate(270),
    };
    path = corners[0].map(corner);
    for (int i = 1; i < 4; ++i)
        path.connectPath(corners[i].map(corner));
    path.closeSubpath();
    return path;
}

QPainterPath Painting::capsule(const QRectF &rect)
{
    QPainterPath path;
    if (rect.isEmpty())
        return path;
    const double r = std::min(rect.width(), rect.height()) / 2;
    path.addRoundedRect(rect, r, r);
    return path;
}

void Painting::fillRounded(QPainter &p, const QRectF &rect, double radius, const QColor &color)
{
    if (color.alpha() == 0 || rect.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(roundedRect(rect, radius));
    p.restore();
}

void Painting::strokeInside(QPainter &p, const QRectF &rect, double radius, const QColor &color, double width)
{
    if (color.alpha() == 0 || width <= 0 || rect.isEmpty())
        return;
    const double half = width / 2;
    const QRectF inner = rect.adjusted(half, half, -half, -half);
    if (inner.isEmpty())
        return;
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(color, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setMiterLimit(10);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawPath(roundedRect(inner, std::max(0.0, radius - half)));
    p.restore();
}

double Painting::shadowExtent(const ShadowSpec &shadow)
{
    return std::max(0.0, shadow.radius) * 1.5 + std::max(std::abs(shadow.x), std::abs(shadow.y));
}

void Painting::drawShadow(QPainter &p, const QRectF &rect, double radius, const ShadowSpec &shadow, const QColor &color)
{
    if (color.alpha() == 0 || rect.isEmpty())
        return;
    const double dpr = pixelScale(p);
    const double blur = std::max(0.0, shadow.radius);
    const double pad = std::ceil(blur * 1.5) + 1;
    const QSize pixelSize(int(std::ceil((rect.width() + 2 * pad) * dpr)),
                          int(std::ceil((rect.height() + 2 * pad) * dpr)));
    if (pixelSize.width() <= 0 || pixelSize.height() <= 0 || pixelSize.width() > 8192 || pixelSize.height() > 8192)
        return;

    const QString key = QStringLiteral("ovlin-shadow:%1x%2:%3:%4:%5:%6")
                            .arg(rect.width())
                            .arg(rect.height())
                            .arg(radius)
                            .arg(blur)
                            .arg(dpr)
                            .arg(color.rgba(), 0, 16);
    QPixmap pixmap;
    if (!QPixmapCache::find(key, &pixmap)) {
        QImage mask(pixelSize, QImage::Format_Alpha8);
        mask.fill(0);
        {
            QPainter mp(&mask);
            mp.setRenderHint(QPainter::Antialiasing);
            mp.scale(dpr, dpr);
            mp.setPen(Qt::NoPen);
            mp.setBrush(Qt::black);
            mp.drawPath(roundedRect(QRectF(pad, pad, rect.width(), rect.height()), radius));
        }
        const int w = mask.width();
        const int h = mask.height();
        std::vector<float> plane(size_t(w) * size_t(h));
        for (int y = 0; y < h; ++y) {
            const uchar *line = mask.constScanLine(y);
            for (int x = 0; x < w; ++x)
                plane[size_t(y) * size_t(w) + size_t(x)] = line[x] / 255.0f;
        }
        // The blur radius of a shadow reads as about two standard deviations.
        blurAlpha(plane, w, h, blur / 2 * dpr);
        QImage out(pixelSize, QImage::Format_ARGB32_Premultiplied);
        const double alpha = color.alphaF();
        for (int y = 0; y < h; ++y) {
            auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const double a = std::clamp(double(plane[size_t(y) * size_t(w) + size_t(x)]), 0.0, 1.0) * alpha;
                line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), int(std::lround(a * 255))));
            }
        }
        out.setDevicePixelRatio(dpr);
        pixmap = QPixmap::fromImage(out);
        QPixmapCache::insert(key, pixmap);
    }
    p.drawPixmap(QPointF(rect.left() - pad + shadow.x, rect.top() - pad + shadow.y), pixmap);
}

double Painting::pixelScale(const QPainter &p)
{
    const double deviceRatio = p.device() ? p.device()->devicePixelRatioF() : 1.0;
    const double painterScale = std::sqrt(std::abs(p.combinedTransform().determinant()));
    return std::clamp(deviceRatio * (std::isfinite(painterScale) ? painterScale : 1.0), 1.0, 8.0);
}

QColor Painting::withOpacity(const QColor &color, double factor)
{
    QColor c = color;
    c.setAlphaF(float(std::clamp(color.alphaF() * (std::isfinite(factor) ? factor : 0.0), 0.0, 1.0)));
    return c;
}

QColor Painting::brightened(const QColor &color, double delta)
{
    if (!std::isfinite(delta) || delta == 0)
        return color;
    QColor c = color.toRgb();
    auto shift = [delta](float v) { return float(std::clamp(double(v) + delta, 0.0, 1.0)); };
    return QColor::fromRgbF(shift(c.redF()), shift(c.greenF()), shift(c.blueF()), c.alphaF());
}

namespace {

// What `content` paints inside `outer`, on a transparent image at the painter's pixel scale.
QImage offscreenLayer(const QPainter &p, const QRect &outer, const std::function<void(QPainter &)> &content)
{
    const double dpr = Painting::pixelScale(p);
    QImage layer(outer.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(dpr);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHints(p.renderHints());
        lp.translate(-outer.topLeft());
        content(lp);
    }
    return layer;
}

} // namespace

void Painting::fillPathWith(QPainter &p, const QPainterPath &path, const std::function<void(QPainter &)> &content)
{
    const QRectF bounds = path.boundingRect();
    if (bounds.isEmpty() || !content)
        return;
    const double dpr = pixelScale(p);
    const QRect outer = bounds.toAlignedRect();
    QImage layer = offscreenLayer(p, outer, content);
    // Keep only what lies inside the path, with soft edges: the mask covers the whole layer, so pixels
    // outside the path are cleared too.
    QImage mask(layer.size(), QImage::Format_ARGB32_Premultiplied);
    mask.setDevicePixelRatio(dpr);
    mask.fill(Qt::transparent);
    {
        QPainter mp(&mask);
        mp.setRenderHint(QPainter::Antialiasing);
        mp.translate(-outer.topLeft());
        mp.setPen(Qt::NoPen);
        mp.setBrush(Qt::black);
        mp.drawPath(path);
    }
    {
        QPainter lp(&layer);
        lp.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        lp.drawImage(QPointF(0, 0), mask);
    }
    p.drawImage(QPointF(outer.topLeft()), layer);
}

void Painting::drawLayer(QPainter &p, const QRectF &bounds, double opacity,
                         const std::function<void(QPainter &)> &content)
{
    if (!content)
        return;
    const double o = std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 1.0;
    if (o >= 1.0) {
        content(p);
        return;
    }
    if (o <= 0.0 || bounds.isEmpty())
        return;
    const QRect outer = bounds.toAlignedRect();
    const QImage layer = offscreenLayer(p, outer, content);
    p.save();
    p.setOpacity(p.opacity() * o);
    p.drawImage(QPointF(outer.topLeft()), layer);
    p.restore();
}

} // namespace ovlin
