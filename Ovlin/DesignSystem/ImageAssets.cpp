#include "DesignSystem/ImageAssets.h"

#include "DesignSystem/DesignResources.h"
#include "DesignSystem/ThemeColors.h"

#include <QHash>
#include <QIconEngine>
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

Q_LOGGING_CATEGORY(lcImages, "ovlin.images")

namespace ovlin {

namespace {

const QStringList &knownNames()
{
    static const QStringList names{QStringLiteral("OvlinLogo"),      QStringLiteral("OvlinThumb"),
                                   QStringLiteral("HeaderCard"),     QStringLiteral("OvliIllu1"),
                                   QStringLiteral("OvliIllu5"),      QStringLiteral("OvliIllu11"),
                                   QStringLiteral("org.ovlin.Ovlin")};
    return names;
}

bool warnUnknownOnce(const QString &name)
{
    static QSet<QString> warned;
    if (warned.contains(name))
        return false;
    warned.insert(name);
    qCWarning(lcImages) << "Unknown image" << name << "- drawing a placeholder";
    return true;
}

std::unique_ptr<QSvgRenderer> rendererFor(const QString &name)
{
    initDesignResources();
    auto renderer = std::make_unique<QSvgRenderer>(ImageAssets::resourcePath(name));
    if (!renderer->isValid())
        return nullptr;
    renderer->setAspectRatioMode(Qt::IgnoreAspectRatio);
    return renderer;
}

void paintPlaceholder(QPainter &p, const QRectF &rect)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ThemeColors::neutral400(), 1.5, Qt::DashLine));
    p.setBrush(ThemeColors::neutral100());
    const QRectF r = rect.adjusted(1, 1, -1, -1);
    p.drawRect(r);
    p.drawLine(r.topLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomLeft());
    p.restore();
}

QRectF placed(const QRectF &rect, QSizeF natural, Qt::AspectRatioMode mode, Qt::Alignment alignment)
{
    if (mode == Qt::IgnoreAspectRatio || natural.isEmpty())
        return rect;
    const QSizeF size = natural.scaled(rect.size(), mode);
    double x = rect.left() + (rect.width() - size.width()) / 2;
    double y = rect.top() + (rect.height() - size.height()) / 2;
    if (alignment & Qt::AlignLeft)
        x = rect.left();
    else if (alignment & Qt::AlignRight)
        x = rect.right() - size.width();
    if (alignment & Qt::AlignTop)
        y = rect.top();
    else if (alignment & Qt::AlignBottom)
        y = rect.bottom() - size.height();
    return QRectF(QPointF(x, y), size);
}

} // namespace

bool ImageAssets::contains(const QString &name)
{
    return knownNames().contains(name);
}

QStringList ImageAssets::names()
{
    return knownNames();
}

QString ImageAssets::resourcePath(const QString &name)
{
    if (!contains(name))
        return {};
    return QStringLiteral(":/images/%1.svg").arg(name);
}

QSizeF ImageAssets::naturalSize(const QString &name)
{
    if (!contains(name))
        return {};
    static QHash<QString, QSizeF> sizes;
    const auto it = sizes.constFind(name);
    if (it != sizes.constEnd())
        return *it;
    const auto renderer = rendererFor(name);
    const QSizeF size = renderer ? renderer->viewBoxF().size() : QSizeF();
    sizes.insert(name, size);
    return size;
}

void ImageAssets::paint(QPainter &p, const QRectF &rect, const QString &name, Qt::AspectRatioMode mode,
                        Qt::Alignment alignment)
{
    if (rect.isEmpty())
        return;
    const auto renderer = contains(name) ? rendererFor(name) : nullptr;
    if (!renderer) {
        warnUnknownOnce(name);
        paintPlaceholder(p, rect);
        return;
    }
    const QRectF target = placed(rect, renderer->viewBoxF().size(), mode, alignment);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    if (mode == Qt::KeepAspectRatioByExpanding)
        p.setClipRect(rect, Qt::IntersectClip);
    renderer->render(&p, target);
    p.restore();
}

QPixmap ImageAssets::pixmap(const QString &name, const QSize &size, double devicePixelRatio)
{
    const double dpr = std::isfinite(devicePixelRatio) && devicePixelRatio > 0 ? devicePixelRatio : 1;
    const QSize pixels(std::clamp(int(std::ceil(size.width() * dpr)), 1, 4096),
                       std::clamp(int(std::ceil(size.height() * dpr)), 1, 4096));
    const QString key = QStringLiteral("ovlin-image:%1:%2x%3").arg(name).arg(pixels.width()).arg(pixels.height());
    QPixmap pm;
    if (contains(name) && QPixmapCache::find(key, &pm)) {
        pm.setDevicePixelRatio(dpr);
        return pm;
    }
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter ip(&image);
        paint(ip, QRectF(QPointF(0, 0), QSizeF(pixels)), name, Qt::IgnoreAspectRatio);
    }
    image.setDevicePixelRatio(dpr);
    pm = QPixmap::fromImage(image);
    if (contains(name))
        QPixmapCache::insert(key, pm);
    return pm;
}

QIcon ImageAssets::appIcon()
{
    initDesignResources();
    QIcon builtIn(resourcePath(appIconName()));
    return QIcon::fromTheme(appIconName(), builtIn);
}

} // namespace ovlin
