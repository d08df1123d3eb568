#include "DesignSystem/X11Workspaces.h"

#include "Base/MainThread.h"
#include "DesignSystem/X11Selection.h"

#include <QWidget>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#endif

namespace ovlin::x11 {

#if QT_CONFIG(xcb)

namespace {

constexpr uint32_t kEveryDesktop = 0xFFFFFFFF;

bool holdsAtom(xcb_connection_t *connection, xcb_window_t window, uint32_t property, uint32_t value)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(connection, 0, window, property, XCB_ATOM_ATOM, 0, 1024);
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> reply(
        xcb_get_property_reply(connection, cookie, nullptr), &std::free);
    if (!reply || reply->format != 32 || reply->type != XCB_ATOM_ATOM)
        return false;
    const auto *atoms = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(uint32_t));
    return std::find(atoms, atoms + count, value) != atoms + count;
}

} // namespace

void showOnEveryWorkspace(QWidget *window)
{
    OVLIN_ASSERT_MAIN_THREAD();
    xcb_connection_t *connection = x11::connection();
    if (!connection || !window || !window->isWindow() || window->isVisible())
        return;
    const uint32_t desktop = atom(connection, QByteArrayLiteral("_NET_WM_DESKTOP"));
    const uint32_t state = atom(connection, QByteArrayLiteral("_NET_WM_STATE"));
    const uint32_t sticky = atom(connection, QByteArrayLiteral("_NET_WM_STATE_STICKY"));
    if (!desktop || !state || !sticky)
        return;
    const auto id = xcb_window_t(window->winId());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, desktop, XCB_ATOM_CARDINAL, 32, 1, &kEveryDesktop);
    // Qt adds its own states (above) to those it finds on the window when it maps it.
    if (!holdsAtom(connection, id, state, sticky))
        xcb_change_property(connection, XCB_PROP_MODE_APPEND, id, state, XCB_ATOM_ATOM, 32, 1, &sticky);
}

#else

void showOnEveryWorkspace(QWidget *)
{
}

#endif

} // namespace ovlin::x11
