#include "DesignSystem/StackingRowLayout.h"

#include <algorithm>

namespace ovlin {

StackingRowLayout::StackingRowLayout(QWidget *owner, int spacing, int stackSpacing)
    : QHBoxLayout(owner), m_stackSpacing(std::max(0, stackSpacing))
{
    setContentsMargins(0, 0, 0, 0);
    setSpacing(std::max(0, spacing));
}

template <typename Visit> void StackingRowLayout::forEachShown(Visit visit) const
{
    for (int i = 0; i < count(); ++i) {
        QLayoutItem *item = itemAt(i);
        // Spacers and hidden widgets take no place in a column.
        if (item && !item->isEmpty())
            visit(item);
    }
}

bool StackingRowLayout::stacksAt(int width) const
{
    const QMargins m = contentsMargins();
    int needed = 0;
    int shown = 0;
    forEachShown([&](QLayoutItem *item) {
        needed += item->minimumSize().width();
        ++shown;
    });
    return shown > 1 && width - m.left() - m.right() < needed + (shown - 1) * spacing();
}

QSize StackingRowLayout::minimumSize() const
{
    const QMargins m = contentsMargins();
    int width = 0;
    forEachShown([&](QLayoutItem *item) { width = std::max(width, item->minimumSize().width()); });
    return QSize(width + m.left() + m.right(), QHBoxLayout::minimumSize().height());
}

Qt::Orientations StackingRowLayout::expandingDirections() const
{
    return QHBoxLayout::expandingDirections() & Qt::Horizontal;
}

int StackingRowLayout::stackedHeight(int innerWidth) const
{
    int height = 0;
    int shown = 0;
    forEachShown([&](QLayoutItem *item) {
        const int w = std::min(innerWidth, item->maximumSize().width());
        height += item->hasHeightForWidth() ? item->heightForWidth(w) : item->sizeHint().height();
        ++shown;
    });
    return height + std::max(0, shown - 1) * m_stackSpacing;
}

int StackingRowLayout::heightForWidth(int width) const
{
    const QMargins m = contentsMargins();
    if (stacksAt(width))
        return stackedHeight(width - m.left() - m.right()) + m.top() + m.bottom();
    if (QHBoxLayout::hasHeightForWidth())
        return QHBoxLayout::heightForWidth(width);
    return QHBoxLayout::sizeHint().height();
}

void StackingRowLayout::setGeometry(const QRect &rect)
{
    if (!stacksAt(rect.width())) {
        QHBoxLayout::setGeometry(rect);
        return;
    }
    QLayout::setGeometry(rect);
    const QRect inner = rect.marginsRemoved(contentsMargins());
    int top = inner.top();
    forEachShown([&](QLayoutItem *item) {
        const int w = std::min(inner.width(), item->maximumSize().width());
        const int h = item->hasHeightForWidth() ? item->heightForWidth(w) : item->sizeHint().height();
        item->setGeometry(QRect(inner.left(), top, w, h));
        top += h + m_stackSpacing;
    });
}

} // namespace ovlin
