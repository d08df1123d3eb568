#pragma once

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

namespace ovlin {

// Maps the symbol names the interface uses ("bell.fill", "chevron.up.chevron.down", ...) to the SVG
// icons under Assets/icons. Icons are tinted when drawn; an unknown name draws a visible placeholder
// and logs once.
struct IconRegistry
{
    static bool contains(const QString &name);
    static QStringList names();
    // Resource path of the SVG, empty for an unknown name.
    static QString resourcePath(const QString &name);

    // The side of the square a symbol takes when set in `font` (symbols follow the text size).
    static double symbolSize(const QFont &font);

    // Draws the symbol tinted in `color`, fitted and centred in `rect`.
    static void paint(QPainter &p, const QRectF &rect, const QString &name, const QColor &color);
    // The symbol as a tinted pixmap of `side` logical pixels at the given pixel ratio.
    static QPixmap pixmap(const QString &name, double side, const QColor &color, double devicePixelRatio = 1);
};

} // namespace ovlin
