#pragma once

#include <QRectF>
#include <QRegion>

#include <functional>

class QScreen;
class QWidget;

namespace ovlin {

// Whether a compositing manager blends translucent windows on a screen. Without one (a plain X11
// window manager) the see-through parts of a frameless window come out black, so windows with rounded
// corners are cut to their shape instead. Main thread only.
class DesktopCompositing
{
public:
    using Probe = std::function<bool(const QScreen *screen)>;

    // On X11: whether some client owns the screen's _NET_WM_CM_S<n> selection. Every other platform
    // composites (Wayland always does; the offscreen one draws into images).
    static bool isActive(const QScreen *screen);
    // Replaces the desktop query (tests); an empty probe brings the real one back.
    static void setProbe(Probe probe);

    // The pixels of a rounded rectangle, for a window mask.
    static QRegion roundedRegion(const QRect &rect, double radius);
    // Cuts `window` to the rounded rectangle `shape` (its own coordinates) unless it is translucent on a
    // compositing desktop; removes the cut otherwise.
    static void applyRoundedShape(QWidget *window, const QScreen *screen, const QRect &shape, double radius);
};

} // namespace ovlin
