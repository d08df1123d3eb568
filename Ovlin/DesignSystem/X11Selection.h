#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

struct xcb_connection_t;

namespace ovlin::x11 {

// Qt's own connection to the X server, or null when Qt does not draw through X11. Main thread only.
xcb_connection_t *connection();
// The root window of the screen Qt's display is on; 0 when there is none.
uint32_t rootWindow(xcb_connection_t *connection);
// The atom called `name`; 0 when the server does not answer.
uint32_t atom(xcb_connection_t *connection, const QByteArray &name);
// A selection that X11 desktops hold once per screen, named for the screen Qt's display is on:
// `prefix` followed by the screen number ("_NET_SYSTEM_TRAY_S0").
QByteArray screenSelectionName(const char *prefix);
// The window that owns `selection` (0 when nobody does); nothing when the server does not answer.
std::optional<uint32_t> selectionOwner(xcb_connection_t *connection, uint32_t selection);

} // namespace ovlin::x11
