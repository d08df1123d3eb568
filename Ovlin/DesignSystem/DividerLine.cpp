#include "DesignSystem/DividerLine.h"

#include <QPainter>

#include <algorithm>

namespace ovlin {

DividerLine::DividerLine(QWidget *parent) : DividerLine(ThemeColors::border(), 0, 0, parent)
{
}

DividerLine::DividerLine(const QColor &color, double leadingInset, double trailingInset, QWidget *parent)
    : QWidget(parent), m_color(color), m_leadingInset(leadingInset), m_trailingInset(trailingInset)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DividerLine::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(QRectF(m_leadingInset, 0, std::max(0.0, width() - m_leadingInset - m_trailingInset), 1), m_color);
}

} // namespace ovlin
