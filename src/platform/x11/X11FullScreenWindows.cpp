#include "platform/x11/X11FullScreenWindows.h"

#include "platform/DispatchQueue.h"

#include <QPointer>
#include <QScreen>

#include <cstring>
#include <vector>

namespace {
// More managed windows than any desktop shows; the rest are not looked at.
constexpr qsizetype kMaxWindows = 1024;
constexpr uint32_t kClientEvents = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
constexpr uint32_t kAllDesktops = 0xFFFFFFFFu;

QList<uint32_t> values32(const QByteArray &data)
{
    QList<uint32_t> values;
    values.reserve(data.size() / 4);
    for (qsizetype i = 0; i + 4 <= data.size(); i += 4) {
        uint32_t value = 0;
        std::memcpy(&value, data.constData() + i, 4);
        values.append(value);
    }
    return values;
}

} // namespace

std::unique_ptr<X11FullScreenWindows> X11FullScreenWindows::create()
{
    std::unique_ptr<XcbConnection> connection = XcbConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11FullScreenWindows>(new X11FullScreenWindows(std::move(connection)));
}

X11FullScreenWindows::X11FullScreenWindows(std::unique_ptr<XcbConnection> connection)
    : m_connection(std::move(connection))
{
    m_atoms.clientList = m_connection->atom("_NET_CLIENT_LIST");
    m_atoms.stacking = m_connection->atom("_NET_CLIENT_LIST_STACKING");
    m_atoms.currentDesktop = m_connection->atom("_NET_CURRENT_DESKTOP");
    m_atoms.state = m_connection->atom("_NET_WM_STATE");
    m_atoms.fullScreen = m_connection->atom("_NET_WM_STATE_FULLSCREEN");
    m_atoms.hidden = m_connection->atom("_NET_WM_STATE_HIDDEN");
    m_atoms.desktop = m_connection->atom("_NET_WM_DESKTOP");
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_connection->raw(), m_connection->root(), XCB_CW_EVENT_MASK, &mask);
    m_connection->flush();
    m_loop = std::make_unique<XcbEventLoop>(*m_connection, QStringLiteral("full screen"));
    m_loop->start([this](const xcb_generic_event_t &event) { handleEvent(event); },
                  [this] { return refreshIfNeeded(); });
    m_loop->post([] {}); // a first round reads the windows there are
}

X11FullScreenWindows::~X11FullScreenWindows() { m_loop->stop(); }

void X11FullScreenWindows::handleEvent(const xcb_generic_event_t &event)
{
    switch (event.response_type & 0x7f) {
    case XCB_PROPERTY_NOTIFY: {
        const auto &notify = reinterpret_cast<const xcb_property_notify_event_t &>(event);
        if (notify.window == m_connection->root())
            m_dirty = m_dirty || notify.atom == m_atoms.clientList || notify.atom == m_atoms.stacking
                      || notify.atom == m_atoms.currentDesktop;
        else
            m_dirty = m_dirty || notify.atom == m_atoms.state || notify.atom == m_atoms.desktop;
        break;
    }
    case XCB_CONFIGURE_NOTIFY:
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_DESTROY_NOTIFY: m_dirty = true; break;
    default: break; // errors of windows that went meanwhile, among others
    }
}

bool X11FullScreenWindows::refreshIfNeeded()
{
    if (!m_dirty)
        return false;
    m_dirty = false;
    const QList<QRect> frames = readFullScreenFrames();
    // Told again while a window is full screen: a restacking may have put it over ours.
    if (frames == m_lastFrames && frames.isEmpty())
        return false;
    m_lastFrames = frames;
    const QPointer<X11FullScreenWindows> self(this);
    MainQueue::async([self, frames] {
        if (!self)
            return;
        self->m_frames = frames;
        Q_EMIT self->changed();
    });
    return false;
}

void X11FullScreenWindows::watchClients(const QList<xcb_window_t> &clients)
{
    xcb_connection_t *c = m_connection->raw();
    QSet<xcb_window_t> listed(clients.cbegin(), clients.cend());
    for (xcb_window_t window : std::as_const(m_watched)) {
        if (!listed.contains(window)) {
            const uint32_t none = 0;
            xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &none);
        }
    }
    for (xcb_window_t window : clients) {
        if (!m_watched.contains(window))
            xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &kClientEvents);
    }
    m_watched = std::move(listed);
}

QList<QRect> X11FullScreenWindows::readFullScreenFrames()
{
    xcb_connection_t *c = m_connection->raw();
    const xcb_window_t root = m_connection->root();
    QList<xcb_window_t> clients = values32(m_connection->property(root, m_atoms.clientList, XCB_ATOM_WINDOW));
    if (clients.size() > kMaxWindows)
        clients.resize(kMaxWindows);
    watchClients(clients);
    const std::optional<uint32_t> current = m_connection->cardinalProperty(root, m_atoms.currentDesktop);

    // One round trip for the states of all windows, one for the places of the full-screen ones.
    struct Asked {
        xcb_window_t window;
        xcb_get_property_cookie_t state;
        xcb_get_property_cookie_t desktop;
    };
    std::vector<Asked> asked;
    asked.reserve(size_t(clients.size()));
    for (xcb_window_t window : std::as_const(clients))
        asked.push_back({window, xcb_get_property(c, 0, window, m_atoms.state, XCB_ATOM_ATOM, 0, 64),
                         xcb_get_property(c, 0, window, m_atoms.desktop, XCB_ATOM_CARDINAL, 0, 1)});
    struct Placed {
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
    };
    std::vector<Placed> placed;
    for (const Asked &one : asked) {
        XcbReply<xcb_get_property_reply_t> state(xcb_get_property_reply(c, one.state, nullptr));
        XcbReply<xcb_get_property_reply_t> desktop(xcb_get_property_reply(c, one.desktop, nullptr));
        if (!state || state->format != 32)
            continue;
        const auto *atoms = static_cast<const xcb_atom_t *>(xcb_get_property_value(state.get()));
        const int count = xcb_get_property_value_length(state.get()) / 4;
        bool fullScreen = false;
        bool hidden = false;
        for (int i = 0; i < count; ++i) {
            fullScreen = fullScreen || atoms[i] == m_atoms.fullScreen;
            hidden = hidden || atoms[i] == m_atoms.hidden;
        }
        if (!fullScreen || hidden)
            continue;
        // A window without a desktop, or on all of them, is on the current one.
        if (desktop && desktop->format == 32 && xcb_get_property_value_length(desktop.get()) >= 4 && current) {
            const uint32_t on = *static_cast<const uint32_t *>(xcb_get_property_value(desktop.get()));
            if (on != kAllDesktops && on != *current)
                continue;
        }
        placed.push_back({xcb_get_geometry(c, one.window), xcb_translate_coordinates(c, one.window, root, 0, 0)});
    }
    QList<QRect> frames;
    for (const Placed &one : placed) {
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, one.geometry, nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(c, one.origin, nullptr));
        if (geometry && origin)
            frames.append(QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height));
    }
    return frames;
}

bool X11FullScreenWindows::coversScreen(const QScreen *screen) const
{
    if (!screen)
        return false;
    // Qt keeps a screen's origin in the server's pixels and scales its size.
    const QRect logical = screen->geometry();
    const QRect native(logical.topLeft(), logical.size() * screen->devicePixelRatio());
    const qint64 area = qint64(native.width()) * native.height();
    for (const QRect &frame : m_frames) {
        const QRect part = frame & native;
        if (area > 0 && qint64(part.width()) * part.height() * 2 >= area)
            return true;
    }
    return false;
}
