#include "platform/DockWindow.h"

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <xcb/xcb.h>

#include <array>
#include <cmath>
#include <memory>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
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
    MappedPlaceCheck(QWindow *window, xcb_connection_t *connection)
        : QObject(window),
          m_window(window),
          m_connection(connection)
    {
    }

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
            m_connection, xcb_translate_coordinates(m_connection, xcb_window_t(m_window->winId()), root, 0, 0),
            nullptr);
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

// Set on the unmapped window, the window manager reads them when it maps it; Qt adds its own
// states to the list rather than replacing it.
void setDockProperties(xcb_connection_t *connection, xcb_window_t id)
{
    const xcb_atom_t type = internAtom(connection, "_NET_WM_WINDOW_TYPE_DOCK");
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_WINDOW_TYPE"),
                        XCB_ATOM_ATOM, 32, 1, &type);
    const std::array<xcb_atom_t, 3> states{internAtom(connection, "_NET_WM_STATE_STICKY"),
                                           internAtom(connection, "_NET_WM_STATE_ABOVE"),
                                           internAtom(connection, "_NET_WM_STATE_SKIP_TASKBAR")};
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_STATE"), XCB_ATOM_ATOM,
                        32, uint32_t(states.size()), states.data());
    const uint32_t allDesktops = 0xFFFFFFFFu;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, internAtom(connection, "_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(connection);
}

xcb_connection_t *qtConnection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

// Takes a window out of the window manager's hands (override-redirect) and gives it back. The
// flag is read when the window is mapped, and a window the manager still holds in its frame must
// not be mapped again before the manager has let it go (it puts it back on the root window), or
// both would handle it at once.
class AboveSwitch : public QObject, public QAbstractNativeEventFilter {
public:
    AboveSwitch(QWidget *window, xcb_connection_t *connection)
        : QObject(window),
          m_window(window),
          m_connection(connection)
    {
        m_fallback.setSingleShot(true);
        m_fallback.setInterval(1000); // a window manager that never lets go
        connect(&m_fallback, &QTimer::timeout, this, [this] { finish(); });
        qApp->installNativeEventFilter(this);
    }
    ~AboveSwitch() override { qApp->removeNativeEventFilter(this); }

    static AboveSwitch *of(QWidget *window)
    {
        for (QObject *child : window->children()) {
            if (auto *found = dynamic_cast<AboveSwitch *>(child))
                return found;
        }
        return nullptr;
    }

    void request(bool above)
    {
        const bool switched = m_above != above;
        m_above = above;
        if (m_switching)
            return; // the switch under way ends in the state asked for last
        if (!switched) {
            if (above && m_window->isVisible())
                m_window->raise();
            return;
        }
        m_switching = true;
        m_wasVisible = m_window->isVisible();
        m_place = m_window->pos();
        m_window->hide();
        if (isFramed())
            m_fallback.start();
        else
            finish();
    }

protected:
    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (!m_switching || type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_REPARENT_NOTIFY)
            return false;
        const auto *reparent = reinterpret_cast<const xcb_reparent_notify_event_t *>(event);
        if (reparent->window == xcb_window_t(m_window->winId()) && reparent->parent == root())
            QMetaObject::invokeMethod(
                this, [this] { finish(); }, Qt::QueuedConnection);
        return false;
    }

private:
    xcb_window_t root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }

    // Whether the window sits in a window manager's frame rather than on the root window.
    bool isFramed() const
    {
        XcbTree tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, xcb_window_t(m_window->winId())), nullptr));
        return tree && tree->parent != root();
    }

    void finish()
    {
        if (!m_switching)
            return;
        m_fallback.stop();
        m_switching = false;
        m_window->setWindowFlag(Qt::X11BypassWindowManagerHint, m_above);
        if (!m_above)
            setDockProperties(m_connection, xcb_window_t(m_window->winId()));
        m_window->move(m_place);
        if (m_wasVisible) {
            m_window->show();
            if (m_above)
                m_window->raise();
        }
    }

    struct FreeReply {
        void operator()(void *reply) const { std::free(reply); }
    };
    using XcbTree = std::unique_ptr<xcb_query_tree_reply_t, FreeReply>;

    QWidget *m_window;
    xcb_connection_t *m_connection;
    QTimer m_fallback;
    QPoint m_place;
    bool m_above = false;
    bool m_switching = false;
    bool m_wasVisible = false;
};

} // namespace

namespace DockWindow {

void prepare(QWidget *window)
{
    window->setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint
                           | Qt::WindowDoesNotAcceptFocus);
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return;
    setDockProperties(connection, xcb_window_t(window->winId()));
    if (QWindow *handle = window->windowHandle())
        handle->installEventFilter(new MappedPlaceCheck(handle, connection));
}

void keepAboveFullScreenWindows(QWidget *window, bool above)
{
    xcb_connection_t *connection = qtConnection();
    if (!connection)
        return;
    AboveSwitch *change = AboveSwitch::of(window);
    if (!change) {
        if (!above)
            return;
        change = new AboveSwitch(window, connection);
    }
    change->request(above);
}

bool isKeptAboveFullScreenWindows(const QWidget *window)
{
    return window->windowFlags().testFlag(Qt::X11BypassWindowManagerHint);
}

} // namespace DockWindow
