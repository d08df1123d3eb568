#include "DesignSystem/OvlinText.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace ovlin {

OvlinText::OvlinText(const QString &text, const QFont &font, const QColor &color, QWidget *parent) : QWidget(parent)
{
    m_block.text = text;
    m_block.font = font;
    m_block.color = color;
    setFont(font);
    setAccessibleName(text);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void OvlinText::changed()
{
    updateGeometry();
    update();
}

void OvlinText::setText(const QString &text)
{
    if (text == m_block.text)
        return;
    m_block.text = text;
    setAccessibleName(text);
    changed();
}

void OvlinText::setColor(const QColor &color)
{
    m_block.color = color;
    update();
}

void OvlinText::setTextFont(const QFont &font)
{
    m_block.font = font;
    setFont(font);
    changed();
}

void OvlinText::setAlignment(Qt::Alignment alignment)
{
    m_block.alignment = alignment;
    update();
}

void OvlinText::setMaxLines(int lines)
{
    m_block.maxLines = std::max(0, lines);
    changed();
}

void OvlinText::setLineSpacing(double spacing)
{
    m_block.lineSpacing = std::isfinite(spacing) ? std::max(0.0, spacing) : 0;
    changed();
}

void OvlinText::setSingleLine(bool single)
{
    m_singleLine = single;
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(!single);
    setSizePolicy(policy);
    changed();
}

void OvlinText::setFreeCorner(const QSizeF &corner)
{
    if (corner == m_block.freeCorner)
        return;
    m_block.freeCorner = corner;
    changed();
}

QSize OvlinText::sizeHint() const
{
    const double natural = m_block.naturalWidth();
    if (m_singleLine) {
        TextBlock one = m_block;
        one.maxLines = 1;
        return one.sizeForWidth(1e6).toSize().expandedTo(QSize(int(natural), 0));
    }
    // Room for its longest line beside the free corner too.
    return m_block.sizeForWidth(natural + 1 + std::max(0.0, m_block.freeCorner.width())).toSize();
}

QSize OvlinText::minimumSizeHint() const
{
    if (m_singleLine)
        return QSize(0, sizeHint().height());
    // One line: the real height comes from heightForWidth at the width the layout gives.
    TextBlock one = m_block;
    one.maxLines = 1;
    return QSize(std::min(int(m_block.naturalWidth()), 40), int(std::ceil(one.sizeForWidth(1e6).height())));
}

bool OvlinText::hasHeightForWidth() const
{
    return !m_singleLine;
}

int OvlinText::heightForWidth(int width) const
{
    if (m_singleLine)
        return sizeHint().height();
    // Layouts may ask with more width than the text is allowed to take.
    const int w = std::clamp(width, 1, std::max(1, maximumWidth()));
    return int(std::ceil(m_block.sizeForWidth(w).height()));
}

void OvlinText::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::TextAntialiasing);
    TextBlock block = m_block;
    if (m_singleLine)
        block.maxLines = 1;
    if (!(block.alignment & Qt::AlignVertical_Mask))
        block.alignment |= Qt::AlignTop;
    block.paint(p, QRectF(rect()));
}

} // namespace ovlin
