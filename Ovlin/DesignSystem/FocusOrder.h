#pragma once

#include <QList>
#include <QtGlobal>

class QWidget;

namespace ovlin {

// Tab order as the user sees it. Widgets are made (and rows remade) in whatever order the code needs, so
// Qt's focus chain, which follows creation, says little about the screen. Here every container's visible
// children are read in lines, top to bottom, each line leading to trailing, and each child's own stops
// follow it: a sidebar before the content beside it, a card's controls before the next card.
namespace FocusOrder {

// Whether Tab stops at `widget` itself: it takes Tab focus, is enabled and no proxy stands in for it.
bool isStop(const QWidget *widget);

// The visible Tab stops inside `root`, in reading order.
QList<QWidget *> stops(QWidget *root);

// The stops inside `root` (itself included) in the order they were made, which is the order a row shows
// them in: usable before a new row is laid out. Widgets hidden inside `root` are left out.
QList<QWidget *> controlsOf(QWidget *root);

// Where the focus goes when the entry of a list that held it goes: the control at `position` (or the last,
// where there are fewer) in `preferred` (the same record's new entry) when it has controls, else in the
// entry now at `index`, else in the nearest entry after it, or before it, that has controls. Null when no
// entry has any.
QWidget *successor(QWidget *preferred, const QList<QWidget *> &entries, qsizetype index, qsizetype position);

// Moves the focus from where it is in `root` to the next stop (or the previous one), going round at the
// ends, and scrolls it into view. A window calls this from focusNextPrevChild; false when `root` has no
// stop.
bool focusNext(QWidget *root, bool next);

} // namespace FocusOrder

} // namespace ovlin
