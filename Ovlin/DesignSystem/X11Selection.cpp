#include "DesignSystem/X11Selection.h"

#include <QGuiApplication>

#if QT_CONFIG(xcb)
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#endif

namespace ovlin::x11 {

namespace {

// DISPLAY is "host:display.screen"; without a screen part it is screen 0.
int screenNumber()
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

} // namespace

#if QT_CONFIG(xcb)

namespace {

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;

} // namespace

uint32_t rootWindow(xcb_connection_t *connection)
{
    if (!connection)
        return XCB_NONE;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber() && screens.rem > 0; ++i)
        xcb_screen_next(&screens);
    return screens.rem > 0 ? screens.data->root : XCB_NONE;
}

xcb_connection_t *connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

uint32_t atom(xcb_connection_t *connection, const QByteArray &name)
{
    if (!connection)
        return XCB_NONE;
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(name.size()), name.constData());
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(connection, cookie, nullptr), &std::free);
    return reply ? reply->atom : XCB_NONE;
}

std::optional<uint32_t> selectionOwner(xcb_connection_t *connection, uint32_t selection)
{
    if (!connection || selection == XCB_NONE)
        return std::nullopt;
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, selection), nullptr), &std::free);
    if (!reply)
        return std::nullopt;
    return reply->owner;
}

#else

xcb_connection_t *connection()
{
    return nullptr;
}

uint32_t rootWindow(xcb_connection_t *)
{
    return 0;
}

uint32_t atom(xcb_connection_t *, const QByteArray &)
{
    return 0;
}

std::optional<uint32_t> selectionOwner(xcb_connection_t *, uint32_t)
{
    return std::nullopt;
}

#endif

QByteArray screenSelectionName(const char *prefix)
{
    return QByteArray(prefix) + QByteArray::number(screenNumber());
}

} // namespace ovlin::x11
