#pragma once

class QWidget;

namespace ovlin::x11 {

// Asks an X11 window manager to show the top-level `window` on every workspace, the way a window about
// to be mapped says so: _NET_WM_DESKTOP set to all desktops and _NET_WM_STATE_STICKY (window managers
// honour one or the other). They drop both when the window is hidden, so this goes before every show.
// Does nothing off X11 or while the window is shown. Main thread only.
void showOnEveryWorkspace(QWidget *window);

} // namespace ovlin::x11
