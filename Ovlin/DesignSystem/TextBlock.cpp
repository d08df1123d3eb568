#include "DesignSystem/TextBlock.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <vector>

namespace ovlin {

namespace {

struct LaidLine
{
    QString text; // the line's own text, elided when it is the last kept line of a longer text
    double width = 0;
    double available = 0; // the width the line was given: less beside the free corner
};

// Where a line starts from the block's leading edge at `width`: beside the free corner a line is centred
// or aligned within the width it was given.
double lineOffset(const LaidLine &line, double width, Qt::Alignment alignment)
{
    const double room = std::min(width, line.available);
    if (alignment & Qt::AlignHCenter)
        return (room - line.width) / 2;
    if (alignment & Qt::AlignRight)
        return room - line.width;
    return 0;
}

// The part of the text that can be shown, with line breaks as QTextLayout takes them.
QString normalized(const QString &text)
{
    QString t = text;
    if (t.size() > TextBlock::shownCharacters) {
        qsizetype kept = TextBlock::shownCharacters;
        // Never split a surrogate pair.
        if (t.at(kept - 1).isHighSurrogate())
            --kept;
        t = t.left(kept) + QChar(0x2026);
    }
    t.replace(QLatin1String("\r\n"), QString(QChar::LineSeparator));
    t.replace(QLatin1Char('\n'), QChar::LineSeparator);
    t.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return t;
}

std::vector<LaidLine> layoutLines(const TextBlock &block, double width)
{
    std::vector<LaidLine> lines;
    if (block.text.isEmpty())
        return lines;
    const double w = std::isfinite(width) && width > 0 ? width : 1e6;
    const QString text = normalized(block.text);
    QTextLayout layout(text, block.font);
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    const QFontMetricsF fm(block.font);
    const double step = fm.ascent() + fm.descent() + std::max(0.0, block.lineSpacing);
    const bool corner = block.freeCorner.width() > 0 && block.freeCorner.height() > 0;
    while (true) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        const bool besideCorner = corner && double(lines.size()) * step < block.freeCorner.height();
        const double lineWidth = besideCorner ? std::max(1.0, w - block.freeCorner.width()) : w;
        line.setLineWidth(lineWidth);
        const int start = line.textStart();
        const int length = line.textLength();
        if (block.maxLines > 0 && int(lines.size()) == block.maxLines - 1 && start + length < text.size()) {
            // Last allowed line: the rest of the text, elided to fit.
            QString rest = text.mid(start);
            rest.replace(QChar::LineSeparator, QLatin1Char(' '));
            const QString elided = fm.elidedText(rest, Qt::ElideRight, lineWidth);
            lines.push_back({elided, fm.horizontalAdvance(elided), lineWidth});
            break;
        }
        QString own = text.mid(start, length);
        while (!own.isEmpty() && (own.back() == QChar::LineSeparator || own.back().isSpace()))
            own.chop(1);
        lines.push_back({own, std::min(lineWidth, fm.horizontalAdvance(own)), lineWidth});
    }
    layout.endLayout();
    return lines;
}

double lineHeight(const QFont &font)
{
    const QFontMetricsF fm(font);
    return fm.ascent() + fm.descent();
}

} // namespace

double TextBlock::naturalWidth() const
{
    const QFontMetricsF fm(font);
    double widest = 0;
    for (const QString &line : normalized(text).split(QChar::LineSeparator))
        widest = std::max(widest, fm.horizontalAdvance(line));
    return std::ceil(widest);
}

QSizeF TextBlock::sizeForWidth(double width) const
{
    const auto lines = layoutLines(*this, width);
    if (lines.empty())
        return QSizeF(0, 0);
    double widest = 0;
    for (const auto &l : lines)
        widest = std::max(widest, l.width);
    const double h = lines.size() * lineHeight(font) + (lines.size() - 1) * std::max(0.0, lineSpacing);
    return QSizeF(std::ceil(widest), std::ceil(h));
}

int TextBlock::lineCount(double width) const
{
    return int(layoutLines(*this, width).size());
}

QList<QRectF> TextBlock::lineRects(double width) const
{
    QList<QRectF> rects;
    const double lh = lineHeight(font);
    double y = 0;
    for (const auto &line : layoutLines(*this, width)) {
        rects.append(QRectF(lineOffset(line, width, alignment), y, line.width, lh));
        y += lh + std::max(0.0, lineSpacing);
    }
    return rects;
}

void TextBlock::paint(QPainter &p, const QRectF &rect) const
{
    const auto lines = layoutLines(*this, rect.width());
    if (lines.empty())
        return;
    const QFontMetricsF fm(font);
    const double lh = lineHeight(font);
    const double spacing = std::max(0.0, lineSpacing);
    const double total = lines.size() * lh + (lines.size() - 1) * spacing;
    double y = rect.top();
    if (alignment & Qt::AlignVCenter)
        y = rect.top() + (rect.height() - total) / 2;
    else if (alignment & Qt::AlignBottom)
        y = rect.bottom() - total;
    p.save();
    p.setFont(font);
    p.setPen(color);
    for (const auto &line : lines) {
        p.drawText(QPointF(rect.left() + lineOffset(line, rect.width(), alignment), y + fm.ascent()), line.text);
        y += lh + spacing;
    }
    p.restore();
}

} // namespace ovlin
