#include "DesignSystem/IconRegistry.h"

#include "DesignSystem/Painting.h"

#include "DesignSystem/DesignResources.h"

#include <QHash>
#include <QImage>
#include <QLoggingCategory>
#include <QPaintDevice>
#include <QPainter>
#include <QPixmapCache>
#include <QSet>
#include <QSvgRenderer>

#include <algorithm>
#include <cmath>
#include <memory>

Q_LOGGING_CATEGORY(lcIcons, "ovlin.icons")

namespace ovlin {

namespace {

struct IconEntry
{
    const char *file;
    bool circled; // drawn as a filled disc with the glyph cut out of it
};

const QHash<QString, IconEntry> &table()
{
    static const QHash<QString, IconEntry> map{
        {QStringLiteral("fork.knife.circle.fill"), {"fork-knife-fill", true}},
        {QStringLiteral("carrot.fill"), {"carrot-fill", false}},
        {QStringLiteral("drop.fill"), {"drop-fill", false}},
        {QStringLiteral("figure.run.circle.fill"), {"person-simple-run-fill", true}},
        {QStringLiteral("brain.head.profile.fill"), {"brain-fill", false}},
        {QStringLiteral("bell.fill"), {"bell-fill", false}},
        {QStringLiteral("bell.slash"), {"bell-slash-bold", false}},
        {QStringLiteral("trophy"), {"trophy-bold", false}},
        {QStringLiteral("trophy.fill"), {"trophy-fill", false}},
        {QStringLiteral("star.fill"), {"star-fill", false}},
        {QStringLiteral("flame.fill"), {"flame-fill", false}},
        {QStringLiteral("checkmark"), {"check-bold", false}},
        {QStringLiteral("checkmark.seal.fill"), {"seal-check-fill", false}},
        {QStringLiteral("xmark"), {"x-bold", false}},
        {QStringLiteral("trash"), {"trash-bold", false}},
        {QStringLiteral("clock"), {"clock-bold", false}},
        {QStringLiteral("arrow.clockwise"), {"arrow-clockwise-bold", false}},
        {QStringLiteral("clock.arrow.2.circlepath"), {"clock-counter-clockwise-bold", false}},
        {QStringLiteral("arrow.right"), {"arrow-right-bold", false}},
        {QStringLiteral("chevron.up"), {"caret-up-bold", false}},
        {QStringLiteral("chevron.down"), {"caret-down-bold", false}},
        {QStringLiteral("chevron.up.chevron.down"), {"caret-up-down-bold", false}},
        {QStringLiteral("minus"), {"minus-bold", false}},
        {QStringLiteral("plus"), {"plus-bold", false}},
        {QStringLiteral("house.fill"), {"house-fill", false}},
        {QStringLiteral("list.bullet"), {"list-bullets-bold", false}},
        {QStringLiteral("gearshape.fill"), {"gear-six-fill", false}},
    };
    return map;
}

void warnUnknownOnce(const QString &name)
{
    static QSet<QString> warned;
    if (warned.contains(name))
        return;
    warned.insert(name);
    qCWarning(lcIcons) << "Unknown symbol name" << name << "- drawing a placeholder";
}

// Renderers are not kept: the tinted pixmaps are cached instead.
std::unique_ptr<QSvgRenderer> rendererFor(const QString &path)
{
    initDesignResources();
    auto renderer = std::make_unique<QSvgRenderer>(path);
    if (!renderer->isValid()) {
        qCWarning(lcIcons) << "Could not read icon" << path;
        return nullptr;
    }
    return renderer;
}

// A crossed square: obviously not a real icon, so a wrong name is noticed.
void paintPlaceholder(QPainter &p, const QRectF &rect, const QColor &color)
{
    const double side = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    const QRectF inner = box.adjusted(side * 0.12, side * 0.12, -side * 0.12, -side * 0.12);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, std::max(1.0, side / 12)));
    p.setBrush(Qt::NoBrush);
    p.drawRect(inner);
    p.drawLine(inner.topLeft(), inner.bottomRight());
    p.drawLine(inner.topRight(), inner.bottomLeft());
    p.restore();
}

QImage renderTinted(const IconEntry &entry, const QString &path, int pixels, const QColor &color)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    const std::unique_ptr<QSvgRenderer> renderer = rendererFor(path);
    QPainter ip(&image);
    ip.setRenderHint(QPainter::Antialiasing);
    ip.setRenderHint(QPainter::SmoothPixmapTransform);
    if (entry.circled) {
        // Disc in the tint, glyph punched out at a smaller size.
        ip.setPen(Qt::NoPen);
        ip.setBrush(color);
        const double inset = pixels * 0.06;
        ip.drawEllipse(QRectF(inset, inset, pixels - 2 * inset, pixels - 2 * inset));
        if (renderer) {
            QImage glyph(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
            glyph.fill(Qt::transparent);
            {
                QPainter gp(&glyph);
                gp.setRenderHint(QPainter::Antialiasing);
                const double g = pixels * 0.62;
                renderer->render(&gp, QRectF((pixels - g) / 2, (pixels - g) / 2, g, g));
            }
            ip.setCompositionMode(QPainter::CompositionMode_DestinationOut);
            ip.drawImage(0, 0, glyph);
        }
    } else if (renderer) {
        renderer->render(&ip, QRectF(0, 0, pixels, pixels));
        ip.setCompositionMode(QPainter::CompositionMode_SourceIn);
        ip.fillRect(QRectF(0, 0, pixels, pixels), color);
    }
    ip.end();
    return image;
}

} // namespace

bool IconRegistry::contains(const QString &name)
{
    return table().contains(name);
}

QStringList IconRegistry::names()
{
    QStringList all = table().keys();
    all.sort();
    return all;
}

QString IconRegistry::resourcePath(const QString &name)
{
    const auto it = table().constFind(name);
    if (it == table().constEnd())
        return {};
    return QStringLiteral(":/icons/%1.svg").arg(QLatin1String(it->file));
}

double IconRegistry::symbolSize(const QFont &font)
{
    const double px = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF();
    // The SVGs keep a margin inside their box; this makes the glyph about as tall as the text's capitals
    // plus ascenders, like a symbol set in that font.
    return std::round(std::max(1.0, px) * 1.2);
}

QPixmap IconRegistry::pixmap(const QString &name, double side, const QColor &color, double devicePixelRatio)
{
    const double dpr = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1;
    const int pixels = std::clamp(int(std::ceil((std::isfinite(side) ? side : 0) * dpr)), 1, 2048);
    const auto it = table().constFind(name);
    if (it == table().constEnd()) {
        warnUnknownOnce(name);
        QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter ip(&image);
            paintPlaceholder(ip, QRectF(0, 0, pixels, pixels), color);
        }
        image.setDevicePixelRatio(dpr);
        return QPixmap::fromImage(image);
    }
    const QString key = QStringLiteral("ovlin-icon:%1:%2:%3").arg(name).arg(pixels).arg(color.rgba(), 0, 16);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        cached.setDevicePixelRatio(dpr);
        return cached;
    }
    QImage image = renderTinted(*it, resourcePath(name), pixels, color);
    image.setDevicePixelRatio(dpr);
    cached = QPixmap::fromImage(image);
    QPixmapCache::insert(key, cached);
    return cached;
}

void IconRegistry::paint(QPainter &p, const QRectF &rect, const QString &name, const QColor &color)
{
    if (rect.isEmpty())
        return;
    const double side = std::min(rect.width(), rect.height());
    const QRectF box(rect.center().x() - side / 2, rect.center().y() - side / 2, side, side);
    if (!contains(name)) {
        warnUnknownOnce(name);
        paintPlaceholder(p, box, color);
        return;
    }
    const double dpr = Painting::pixelScale(p);
    // Account for a painter scale (press feedback) so the glyph stays sharp.
    const double scale = std::max(1.0, std::sqrt(std::abs(p.worldTransform().determinant())));
    const QPixmap pm = pixmap(name, side, color, dpr * scale);
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawPixmap(box, pm, QRectF(QPointF(0, 0), QSizeF(pm.size())));
    p.restore();
}

} // namespace ovlin
