#pragma once

class QWidget;

namespace ovlin {

// For controls whose press answers something and whose list is rebuilt at once, so that another row's
// control can slide under the pointer between the two presses of a double-click. A guarded control drops
// the second press of a double-click: a double-click event, or a press within the platform's double-click
// time and distance of the last press that a guarded control took. The release that belongs to a dropped
// press is dropped with it. Keys (Space on a focused control) pass.
namespace DoubleClickGuard {

void guard(QWidget *control);

} // namespace DoubleClickGuard

} // namespace ovlin
