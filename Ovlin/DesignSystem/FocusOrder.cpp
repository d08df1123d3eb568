#include "DesignSystem/FocusOrder.h"

#include "DesignSystem/KeyboardFocus.h"

#include <QApplication>
#include <QWidget>

#include <algorithm>

namespace ovlin::FocusOrder {

namespace {

// `children` in reading order: sorted by their vertical centres and cut into lines (a child whose centre
// lies within the line so far joins it), each line ordered from the leading edge.
QList<QWidget *> inReadingOrder(QList<QWidget *> children, Qt::LayoutDirection direction)
{
    std::stable_sort(children.begin(), children.end(), [](const QWidget *a, const QWidget *b) {
        return a->geometry().top() + a->geometry().bottom() < b->geometry().top() + b->geometry().bottom();
    });
    QList<QWidget *> ordered;
    ordered.reserve(children.size());
    const auto leadingFirst = [direction](const QWidget *a, const QWidget *b) {
        return direction == Qt::RightToLeft ? a->geometry().right() > b->geometry().right()
                                            : a->geometry().left() < b->geometry().left();
    };
    for (qsizetype start = 0; start < children.size();) {
        int top = children.at(start)->geometry().top();
        int bottom = children.at(start)->geometry().bottom();
        qsizetype end = start + 1;
        for (; end < children.size(); ++end) {
            const QRect g = children.at(end)->geometry();
            const int centre2 = g.top() + g.bottom();
            if (centre2 < 2 * top || centre2 > 2 * bottom)
                break;
            top = std::min(top, g.top());
            bottom = std::max(bottom, g.bottom());
        }
        const qsizetype lineStart = ordered.size();
        for (qsizetype i = start; i < end; ++i)
            ordered.append(children.at(i));
        std::stable_sort(ordered.begin() + lineStart, ordered.end(), leadingFirst);
        start = end;
    }
    return ordered;
}

// Appends the stops inside `node` (and `extra`, wherever it is) in reading order.
void collect(QWidget *node, const QWidget *extra, QList<QWidget *> &out)
{
    QList<QWidget *> children;
    for (QObject *object : node->children()) {
        auto *child = qobject_cast<QWidget *>(object);
        // The way to `extra` counts even while hidden: a focused widget being hidden hands the focus on
        // from its own place.
        if (child && !child->isWindow() && (child->isVisible() || child == extra || child->isAncestorOf(extra)))
            children.append(child);
    }
    for (QWidget *child : inReadingOrder(children, node->layoutDirection())) {
        if (isStop(child) || child == extra)
            out.append(child);
        collect(child, extra, out);
    }
}

} // namespace

bool isStop(const QWidget *widget)
{
    return widget && (widget->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && !widget->focusProxy() &&
           widget->isEnabled();
}

QList<QWidget *> stops(QWidget *root)
{
    QList<QWidget *> out;
    if (root)
        collect(root, nullptr, out);
    return out;
}

QList<QWidget *> controlsOf(QWidget *root)
{
    QList<QWidget *> controls;
    if (!root)
        return controls;
    if (isStop(root))
        controls.append(root);
    for (QWidget *child : root->findChildren<QWidget *>()) {
        if (isStop(child) && child->isVisibleTo(root))
            controls.append(child);
    }
    return controls;
}

QWidget *successor(QWidget *preferred, const QList<QWidget *> &entries, qsizetype index, qsizetype position)
{
    const auto at = [position](QWidget *entry) -> QWidget * {
        const QList<QWidget *> controls = controlsOf(entry);
        return controls.isEmpty() ? nullptr : controls.at(std::clamp<qsizetype>(position, 0, controls.size() - 1));
    };
    if (QWidget *target = at(preferred))
        return target;
    const qsizetype start = std::clamp<qsizetype>(index, 0, entries.size());
    for (qsizetype i = start; i < entries.size(); ++i)
        if (QWidget *target = at(entries.at(i)))
            return target;
    for (qsizetype i = start - 1; i >= 0; --i)
        if (QWidget *target = at(entries.at(i)))
            return target;
    return nullptr;
}

bool focusNext(QWidget *root, bool next)
{
    if (!root)
        return false;
    QWidget *focus = QApplication::focusWidget();
    if (!focus || !root->isAncestorOf(focus))
        focus = root->window()->focusWidget();
    if (focus && !root->isAncestorOf(focus))
        focus = nullptr;
    // The focus takes its place in the order even where it is not a stop (a container a rebuild left
    // it on): Tab goes on from there.
    QList<QWidget *> order;
    collect(root, focus, order);
    const qsizetype at = focus ? order.indexOf(focus) : -1;
    if (at >= 0 && !isStop(focus))
        order.removeAt(at);
    if (order.isEmpty())
        return false;
    qsizetype to = 0;
    if (at < 0)
        to = next ? 0 : order.size() - 1;
    else if (next)
        to = isStop(focus) ? (at + 1) % order.size() : at % order.size();
    else
        to = (at - 1 + order.size()) % order.size();
    QWidget *target = order.at(to);
    target->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    KeyboardFocus::reveal(target);
    return true;
}

} // namespace ovlin::FocusOrder
