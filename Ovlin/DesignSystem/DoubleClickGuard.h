#pragma once

#include <QPointF>
#include <QtGlobal>

class QMouseEvent;
class QWidget;

namespace ovlin {

// For controls whose press answers something and whose list is rebuilt at once, so that another row's
// control can slide under the pointer between the two presses of a double-click. A guarded control drops
// the second press of a double-click: a double-click event, or a press within the platform's double-click
// time and distance of the last press that a guarded control took. The release that belongs to a dropped
// press is dropped with it. Keys (Space on a focused control) pass.
namespace DoubleClickGuard {

void guard(QWidget *control);

// Whether `press` comes within the platform's double-click time and distance of an earlier event at
// `time` and `position` (global). Events without a time (made up by the program itself) never do.
bool isWithinDoubleClick(const QMouseEvent &press, quint64 time, const QPointF &position);

} // namespace DoubleClickGuard

} // namespace ovlin
