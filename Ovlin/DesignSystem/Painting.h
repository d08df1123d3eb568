#pragma once

#include "DesignSystem/ShadowSpec.h"

#include <QColor>
#include <QPainterPath>
#include <QRectF>

#include <functional>

class QPainter;

namespace ovlin {

// Shared drawing helpers of the design system. Lengths are in logical pixels.
struct Painting
{
    // A rounded rectangle with continuous (smoothed) corners. The radius is clamped to half the shorter
    // side, so LayoutTokens::radiusFull gives a capsule.
    static QPainterPath roundedRect(const QRectF &rect, double radius);
    static QPainterPath capsule(const QRectF &rect);

    static void fillRounded(QPainter &p, const QRectF &rect, double radius, const QColor &color);
    // A stroke of `width` drawn entirely inside the rounded outline (inset by half its width).
    static void strokeInside(QPainter &p, const QRectF &rect, double radius, const QColor &color, double width = 1);

    // A soft drop shadow of a rounded rectangle (blur radius and offset from the token), drawn before the
    // shape so that the shape covers it. A fully transparent colour draws nothing.
    static void drawShadow(QPainter &p, const QRectF &rect, double radius, const ShadowSpec &shadow,
                           const QColor &color);
    // How far a shadow reaches beyond its shape on each side, for widgets that reserve room for it.
    static double shadowExtent(const ShadowSpec &shadow);

    // `color` with its opacity multiplied by `factor` (tokens carry opacities of their own).
    // Device pixels per logical pixel for `p`: the device's ratio times any scale the painter carries (a widget
    // rendered into a larger image, a press scale), so cached bitmaps stay sharp.
    static double pixelScale(const QPainter &p);
    static QColor withOpacity(const QColor &color, double factor);
    // Adds `delta` to each colour channel (a brightness shift; negative darkens), alpha unchanged.
    static QColor brightened(const QColor &color, double delta);

    // Paints `content` clipped to `path` with anti-aliased edges.
    static void fillPathWith(QPainter &p, const QPainterPath &path, const std::function<void(QPainter &)> &content);
    // Paints `content` as one group at `opacity` (overlapping parts do not show through each other).
    static void drawLayer(QPainter &p, const QRectF &bounds, double opacity,
                          const std::function<void(QPainter &)> &content);
};

} // namespace ovlin
