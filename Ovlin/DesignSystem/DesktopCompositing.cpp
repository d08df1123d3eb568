#include "DesignSystem/DesktopCompositing.h"

#include "Base/MainThread.h"
#include "DesignSystem/X11Selection.h"

#include <QPainterPath>
#include <QPolygon>
#include <QWidget>

namespace ovlin {

namespace {

DesktopCompositing::Probe &probeOverride()
{
    static DesktopCompositing::Probe probe;
    return probe;
}

bool x11CompositingManagerRuns()
{
    xcb_connection_t *connection = x11::connection();
    if (!connection)
        return true;
    const uint32_t selection = x11::atom(connection, x11::screenSelectionName("_NET_WM_CM_S"));
    if (!selection)
        return true; // no answer: leave the windows as they are meant to look
    const std::optional<uint32_t> owner = x11::selectionOwner(connection, selection);
    return !owner || *owner != 0;
}

} // namespace

bool DesktopCompositing::isActive(const QScreen *screen)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (const Probe &probe = probeOverride())
        return probe(screen);
    return x11CompositingManagerRuns();
}

void DesktopCompositing::setProbe(Probe probe)
{
    OVLIN_ASSERT_MAIN_THREAD();
    probeOverride() = std::move(probe);
}

QRegion DesktopCompositing::roundedRegion(const QRect &rect, double radius)
{
    if (rect.isEmpty())
        return {};
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    return QRegion(path.toFillPolygon().toPolygon());
}

void DesktopCompositing::applyRoundedShape(QWidget *window, const QScreen *screen, const QRect &shape, double radius)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!window)
        return;
    if (window->testAttribute(Qt::WA_TranslucentBackground) && isActive(screen))
        window->clearMask();
    else
        window->setMask(roundedRegion(shape, radius));
}

} // namespace ovlin
