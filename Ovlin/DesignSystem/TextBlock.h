#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QSizeF>
#include <QString>

class QPainter;

namespace ovlin {

// A block of plain text (never interpreted as markup) wrapped to a width, with an optional line limit
// (the last kept line ends in an ellipsis) and extra spacing between lines.
struct TextBlock
{
    QString text;
    QFont font;
    QColor color;
    int maxLines = 0; // 0: no limit
    double lineSpacing = 0;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignTop;
    // A box at the top trailing corner that the text keeps clear of (something laid over it): lines that
    // start within its height end its width short of the block's edge; lines below take the whole width.
    QSizeF freeCorner = {};

    // A longer text is laid out from its first this many characters and an ellipsis: no place shows
    // more of a text than that, and laying out all of a stored text of megabytes takes seconds.
    static constexpr qsizetype shownCharacters = 4096;

    // Width of the longest line when nothing wraps.
    double naturalWidth() const;
    // Size of the laid-out block for a given width (width = the widest line).
    QSizeF sizeForWidth(double width) const;
    // Paints the block inside `rect` (horizontal alignment per line, vertical alignment of the block).
    void paint(QPainter &p, const QRectF &rect) const;
    // Number of lines the text takes at `width`, after the line limit.
    int lineCount(double width) const;
    // Each line's box at `width`, from the leading edge as wide as its text, top to bottom.
    QList<QRectF> lineRects(double width) const;
};

} // namespace ovlin
