#include "platform/DockWindow.h"

#include <QGuiApplication>
#include <QWidget>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <array>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return atom;
}

} // namespace

namespace DockWindow {

void prepare(QWidget *window)
{
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    // Set on the unmapped window, the window manager reads them when it maps it; Qt adds its
    // own states to the list rather than replacing it.
    const xcb_atom_t type = internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &type);
    const std::array<xcb_atom_t, 3> states{internAtom(connection, "_NET_WM_STATE_STICKY"),
                                           internAtom(connection, "_NET_WM_STATE_ABOVE"),
                                           internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_STATE"),
                        XCB_ATOM_ATOM, 32, uint32_t(states.size()), states.data());
    const uint32_t allDesktops = 0xFFFFFFFFu;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(connection);
}

} // namespace DockWindow
