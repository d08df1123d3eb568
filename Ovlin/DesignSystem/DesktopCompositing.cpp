#include "DesignSystem/DesktopCompositing.h"

#include "Base/MainThread.h"

#include <QGuiApplication>
#include <QPainterPath>
#include <QPolygon>
#include <QWidget>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

namespace ovlin {

namespace {

DesktopCompositing::Probe &probeOverride()
{
    static DesktopCompositing::Probe probe;
    return probe;
}

#if QT_CONFIG(xcb)
// The X screen number of the display Qt connected to ("host:display.screen"; 0 when not given).
int x11ScreenNumber()
{
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype colon = display.lastIndexOf(':');
    const qsizetype dot = display.indexOf('.', colon < 0 ? 0 : colon);
    if (dot < 0)
        return 0;
    bool ok = false;
    const int number = display.mid(dot + 1).toInt(&ok);
    return ok && number >= 0 ? number : 0;
}

bool x11CompositingManagerRuns()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t *connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return true;
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(x11ScreenNumber());
    const xcb_intern_atom_cookie_t atomCookie = xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData());
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> atom(
        xcb_intern_atom_reply(connection, atomCookie, nullptr), &std::free);
    if (!atom)
        return true; // no answer: leave the windows as they are meant to look
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr),
        &std::free);
    return !owner || owner->owner != XCB_NONE;
}
#endif

} // namespace

bool DesktopCompositing::isActive(const QScreen *screen)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (const Probe &probe = probeOverride())
        return probe(screen);
#if QT_CONFIG(xcb)
    if (QGuiApplication::platformName() == QLatin1String("xcb"))
        return x11CompositingManagerRuns();
#endif
    return true;
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
