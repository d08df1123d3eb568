#pragma once

#include <QRectF>
#include <QString>

class QPainter;

namespace ovlin {

// Draws an image of the application's artwork (Assets/images, by name) clipped to a rounded rectangle,
// as the empty state and the notification preview show them. Qt::KeepAspectRatio fits the image,
// Qt::KeepAspectRatioByExpanding fills and crops it. A missing image draws a neutral tile instead.
struct ComponentImages
{
    static bool exists(const QString &name);
    static void paintRounded(QPainter &p, const QRectF &rect, double radius, const QString &name,
                             Qt::AspectRatioMode mode);
};

} // namespace ovlin
