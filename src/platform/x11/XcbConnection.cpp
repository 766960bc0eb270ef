#include "platform/x11/XcbConnection.h"

#include <xcb/res.h>

#include <cstring>
#include <optional>

namespace {
// The first 32-bit item of a property's value (format 32), if it has one.
std::optional<uint32_t> firstWord(const QByteArray &value)
{
    if (value.size() < 4)
        return std::nullopt;
    uint32_t result = 0;
    std::memcpy(&result, value.constData(), 4);
    return result;
}
} // namespace

std::unique_ptr<XcbConnection> XcbConnection::open()
{
    int screenNumber = 0;
    xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
    if (!connection || xcb_connection_has_error(connection)) {
        if (connection)
            xcb_disconnect(connection);
        return nullptr;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (!screens.rem) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::unique_ptr<XcbConnection>(new XcbConnection(connection, screens.data));
}

XcbConnection::XcbConnection(xcb_connection_t *connection, xcb_screen_t *screen)
    : m_connection(connection),
      m_screen(screen)
{
}

XcbConnection::~XcbConnection() { xcb_disconnect(m_connection); }

xcb_atom_t XcbConnection::atom(const QByteArray &name)
{
    {
        std::lock_guard lock(m_atomMutex);
        const auto found = m_atoms.constFind(name);
        if (found != m_atoms.constEnd())
            return *found;
    }
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(m_connection, 0, uint16_t(name.size()), name.constData());
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(m_connection, cookie, nullptr));
    if (!reply)
        return XCB_ATOM_NONE;
    std::lock_guard lock(m_atomMutex);
    m_atoms.insert(name, reply->atom);
    m_names.insert(reply->atom, name);
    return reply->atom;
}

QByteArray XcbConnection::atomName(xcb_atom_t atom) { return atomNames({atom}).value(0); }

QList<QByteArray> XcbConnection::atomNames(const QList<xcb_atom_t> &atoms)
{
    QList<QByteArray> result(atoms.size());
    QList<std::pair<int, xcb_get_atom_name_cookie_t>> pending;
    {
        std::lock_guard lock(m_atomMutex);
        for (int i = 0; i < atoms.size(); ++i) {
            const auto found = m_names.constFind(atoms[i]);
            if (found != m_names.constEnd())
                result[i] = *found;
            else if (atoms[i] != XCB_ATOM_NONE)
                pending.append({i, xcb_get_atom_name(m_connection, atoms[i])});
        }
    }
    for (const auto &[index, cookie] : pending) {
        XcbReply<xcb_get_atom_name_reply_t> reply(xcb_get_atom_name_reply(m_connection, cookie, nullptr));
        if (!reply)
            continue;
        const QByteArray name(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
        result[index] = name;
        std::lock_guard lock(m_atomMutex);
        m_names.insert(atoms[index], name);
        m_atoms.insert(name, atoms[index]);
    }
    return result;
}

xcb_window_t XcbConnection::createWindow(uint32_t eventMask)
{
    const xcb_window_t window = xcb_generate_id(m_connection);
    const uint32_t values[] = {1, eventMask}; // override-redirect: the window manager leaves it alone
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, root(), -10, -10, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK,
                      values);
    xcb_flush(m_connection);
    return window;
}

QByteArray XcbConnection::property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const xcb_get_property_cookie_t cookie = xcb_get_property(m_connection, 0, window, property, type, 0, 1 << 16);
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(m_connection, cookie, nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::optional<uint32_t> XcbConnection::cardinalProperty(xcb_window_t window, xcb_atom_t property)
{
    return firstWord(this->property(window, property, XCB_ATOM_CARDINAL));
}

std::optional<xcb_window_t> XcbConnection::windowProperty(xcb_window_t window, xcb_atom_t property)
{
    static_assert(sizeof(xcb_window_t) == sizeof(uint32_t));
    return firstWord(this->property(window, property, XCB_ATOM_WINDOW));
}

qint64 XcbConnection::processOfWindow(xcb_window_t window)
{
    if (window == XCB_WINDOW_NONE)
        return 0;
    if (std::optional<uint32_t> pid = cardinalProperty(window, atom("_NET_WM_PID")))
        return *pid;
    xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    XcbReply<xcb_res_query_client_ids_reply_t> reply(
        xcb_res_query_client_ids_reply(m_connection, xcb_res_query_client_ids(m_connection, 1, &spec), nullptr));
    if (!reply)
        return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem; xcb_res_client_id_value_next(&it)) {
        if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
            && xcb_res_client_id_value_value_length(it.data) >= 1)
            return *xcb_res_client_id_value_value(it.data);
    }
    return 0;
}
