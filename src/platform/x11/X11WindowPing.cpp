#include "platform/x11/X11WindowPing.h"

#include <QAbstractNativeEventFilter>
#include <QEvent>
#include <QPlatformSurfaceEvent>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeReply {
    void operator()(void *reply) const { std::free(reply); }
};

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    std::unique_ptr<xcb_intern_atom_reply_t, FreeReply> reply(
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

class PingAnswerer;
PingAnswerer *g_answerer = nullptr;

class PingAnswerer final : public QObject, public QAbstractNativeEventFilter {
public:
    explicit PingAnswerer(xcb_connection_t *connection)
        : QObject(qApp),
          m_connection(connection),
          m_protocols(internAtom(connection, "WM_PROTOCOLS")),
          m_ping(internAtom(connection, "_NET_WM_PING")),
          m_root(xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root)
    {
        qApp->installNativeEventFilter(this);
        qApp->installEventFilter(this);
        for (QWindow *window : QGuiApplication::allWindows())
            advertise(window);
    }
    ~PingAnswerer() override
    {
        // Gone with the application, which is being destroyed then.
        if (QCoreApplication *application = QCoreApplication::instance())
            application->removeNativeEventFilter(this);
        g_answerer = nullptr;
    }

    bool nativeEventFilter(const QByteArray &type, void *message, qintptr *) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            return false;
        const auto *ping = reinterpret_cast<const xcb_client_message_event_t *>(event);
        if (ping->format != 32 || ping->type != m_protocols || ping->data.data32[0] != m_ping || ping->window == m_root)
            return false;
        // The answer is the ping itself, sent back to the root window.
        xcb_client_message_event_t answer = *ping;
        answer.response_type = XCB_CLIENT_MESSAGE;
        answer.window = m_root;
        xcb_send_event(m_connection, 0, m_root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                       reinterpret_cast<const char *>(&answer));
        xcb_flush(m_connection);
        return true;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A window's X window is made (again) when it is shown or its flags change.
        if (event->type() == QEvent::PlatformSurface
            && static_cast<QPlatformSurfaceEvent *>(event)->surfaceEventType()
                   == QPlatformSurfaceEvent::SurfaceCreated) {
            if (auto *window = qobject_cast<QWindow *>(watched))
                advertise(window);
        }
        return false;
    }

private:
    // Adds _NET_WM_PING to a top-level window's WM_PROTOCOLS when it is not there.
    void advertise(QWindow *window)
    {
        if (!window->handle() || window->parent())
            return;
        const auto id = xcb_window_t(window->winId());
        std::unique_ptr<xcb_get_property_reply_t, FreeReply> reply(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, id, m_protocols, XCB_ATOM_ATOM, 0, 32), nullptr));
        if (reply && reply->format == 32) {
            const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply.get()));
            const int count = xcb_get_property_value_length(reply.get()) / 4;
            if (std::find(atoms, atoms + count, m_ping) != atoms + count)
                return;
        }
        xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, id, m_protocols, XCB_ATOM_ATOM, 32, 1, &m_ping);
        xcb_flush(m_connection);
    }

    xcb_connection_t *m_connection;
    xcb_atom_t m_protocols;
    xcb_atom_t m_ping;
    xcb_window_t m_root;
};

} // namespace

namespace X11WindowPing {

void install()
{
    if (g_answerer || QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11 || !x11->connection())
        return;
    g_answerer = new PingAnswerer(x11->connection());
}

} // namespace X11WindowPing
