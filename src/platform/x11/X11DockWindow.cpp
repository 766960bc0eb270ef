#include "platform/DockWindow.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <array>
#include <cmath>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : XCB_ATOM_NONE;
    std::free(reply);
    return atom;
}

// Qt learns where a window is mapped by asking the X server when it handles the window's
// configure notification. Asked while the window manager frames the window (its new frame still
// at the corner), the answer is the corner, and no later notification corrects it when the window
// manager then puts the frame where the window asked to be. Each time the window is mapped, Qt's
// place is compared with the server's and set right.
class MappedPlaceCheck : public QObject {
public:
    MappedPlaceCheck(QWindow *window, xcb_connection_t *connection) : QObject(window), m_window(window), m_connection(connection) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_window || event->type() != QEvent::Expose)
            return false;
        if (!m_window->isExposed()) {
            m_checked = false; // unmapped: checked again when mapped again
            return false;
        }
        if (m_checked)
            return false;
        m_checked = true;
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        xcb_translate_coordinates_reply_t *reply = xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, xcb_window_t(m_window->winId()), root, 0, 0), nullptr);
        if (!reply)
            return false;
        const qreal ratio = m_window->devicePixelRatio();
        const QPoint onServer(int(std::lround(reply->dst_x / ratio)), int(std::lround(reply->dst_y / ratio)));
        std::free(reply);
        // Asks for the place the window has already: nothing moves, Qt's place is right again.
        if (m_window->position() != onServer)
            m_window->setPosition(onServer);
        return false;
    }

private:
    QWindow *m_window;
    xcb_connection_t *m_connection;
    bool m_checked = false;
};

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
    if (QWindow *handle = window->windowHandle())
        handle->installEventFilter(new MappedPlaceCheck(handle, connection));
}

} // namespace DockWindow
