#include "DesignSystem/ComponentImages.h"

#include "DesignSystem/DesignResources.h"
#include "DesignSystem/Painting.h"
#include "DesignSystem/ThemeColors.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLoggingCategory>
#include <QPaintDevice>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>
#include <QTransform>

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(lcComponentImages, "ovlin.images.components")

namespace ovlin {

namespace {

QString pathFor(const QString &name)
{
    initDesignResources();
    for (const char *ext : {"svg", "png", "webp", "jpg"}) {
        const QString path = QStringLiteral(":/images/%1.%2").arg(name, QLatin1String(ext));
        if (QFile::exists(path))
            return path;
    }
    return {};
}

QSizeF naturalSize(const QString &path)
{
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        return renderer.isValid() ? QSizeF(renderer.defaultSize()) : QSizeF();
    }
    return QSizeF(QImageReader(path).size());
}

// The image at `pixels`, already placed (fitted or cropped) inside a box of that size.
QImage rendered(const QString &path, const QSize &pixels, Qt::AspectRatioMode mode)
{
    QImage out(pixels, QImage::Format_ARGB32_Premultiplied);
    out.fill(Qt::transparent);
    const QSizeF natural = naturalSize(path);
    if (natural.isEmpty())
        return out;
    const QSizeF placed = natural.scaled(QSizeF(pixels), mode);
    const QRectF target((pixels.width() - placed.width()) / 2, (pixels.height() - placed.height()) / 2, placed.width(),
                        placed.height());
    QPainter ip(&out);
    ip.setRenderHint(QPainter::Antialiasing);
    ip.setRenderHint(QPainter::SmoothPixmapTransform);
    if (path.endsWith(QLatin1String(".svg"))) {
        QSvgRenderer renderer(path);
        renderer.render(&ip, target);
    } else {
        ip.drawImage(target, QImage(path));
    }
    return out;
}

} // namespace

bool ComponentImages::exists(const QString &name)
{
    return !pathFor(name).isEmpty();
}

void ComponentImages::paintRounded(QPainter &p, const QRectF &rect, double radius, const QString &name,
                                   Qt::AspectRatioMode mode)
{
    if (rect.isEmpty())
        return;
    const QString path = pathFor(name);
    if (path.isEmpty()) {
        static QSet<QString> logged;
        if (!logged.contains(name)) {
            logged.insert(name);
            qCDebug(lcComponentImages) << "No image named" << name;
        }
        Painting::fillRounded(p, rect, radius, ThemeColors::surfaceMuted());
        return;
    }
    // Device pixels per logical pixel: the screen's ratio, times any scale the painter carries (a widget
    // rendered into a larger image, a press scale).
    const double dpr = Painting::pixelScale(p);
    const QSize pixels(std::max(1, int(std::ceil(rect.width() * dpr))),
                       std::max(1, int(std::ceil(rect.height() * dpr))));
    // Paint through a brush so the rounded edge is anti-aliased; the brush maps device pixels to logical pixels.
    QBrush brush(rendered(path, pixels, mode));
    QTransform toRect;
    toRect.translate(rect.left(), rect.top());
    toRect.scale(1 / dpr, 1 / dpr);
    brush.setTransform(toRect);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(brush);
    p.drawPath(Painting::roundedRect(rect, radius));
    p.restore();
}

} // namespace ovlin
