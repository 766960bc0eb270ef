#include "support/WindowPlaces.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

xcb_atom_t atomNamed(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

QByteArray textProperty(xcb_connection_t *connection, xcb_window_t window, xcb_atom_t property)
{
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1024), nullptr);
    QByteArray text;
    if (reply && reply->format == 8)
        text =
            QByteArray(static_cast<const char *>(xcb_get_property_value(reply)), xcb_get_property_value_length(reply));
    std::free(reply);
    return text;
}

} // namespace

WindowPlaces::WindowPlaces()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    m_root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    m_netWmName = atomNamed(connection, "_NET_WM_NAME");
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection, m_root, XCB_CW_EVENT_MASK, &mask);
    // The windows that exist already; later ones are told of as they are made.
    if (xcb_query_tree_reply_t *tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, m_root), nullptr)) {
        const xcb_window_t *children = xcb_query_tree_children(tree);
        for (int i = 0; i < xcb_query_tree_children_length(tree); ++i) {
            xcb_get_geometry_reply_t *geometry =
                xcb_get_geometry_reply(connection, xcb_get_geometry(connection, children[i]), nullptr);
            xcb_get_window_attributes_reply_t *attributes = xcb_get_window_attributes_reply(
                connection, xcb_get_window_attributes(connection, children[i]), nullptr);
            if (geometry && attributes) {
                m_topLevels.insert(children[i], {QRect(geometry->x, geometry->y, geometry->width, geometry->height), 0,
                                                 attributes->map_state == XCB_MAP_STATE_VIEWABLE});
            }
            std::free(geometry);
            std::free(attributes);
        }
        std::free(tree);
    }
    xcb_flush(connection);
}

WindowPlaces::~WindowPlaces()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

QList<QRect> WindowPlaces::placesOf(const QByteArray &title)
{
    read();
    const auto latest = m_latestByTitle.constFind(title);
    return latest == m_latestByTitle.cend() ? QList<QRect>() : m_places.value(*latest);
}

std::string WindowPlaces::describe(const QList<QRect> &places)
{
    std::string text;
    for (const QRect &place : places) {
        if (!text.empty())
            text += "; ";
        text += std::to_string(place.x()) + ',' + std::to_string(place.y()) + ' ' + std::to_string(place.width()) + 'x'
                + std::to_string(place.height());
    }
    return text.empty() ? "never mapped" : text;
}

void WindowPlaces::read()
{
    if (!m_connection)
        return;
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_connection)) {
        switch (event->response_type & 0x7f) {
        case XCB_CREATE_NOTIFY: {
            const auto *created = reinterpret_cast<xcb_create_notify_event_t *>(event);
            if (created->parent == m_root)
                m_topLevels.insert(created->window, {QRect(created->x, created->y, created->width, created->height)});
            break;
        }
        case XCB_CONFIGURE_NOTIFY: {
            const auto *configured = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            const auto it = m_topLevels.find(configured->window);
            if (configured->event != m_root || it == m_topLevels.end())
                break;
            it->geometry = QRect(configured->x, configured->y, configured->width, configured->height);
            if (it->mapped)
                recordPlace(configured->window);
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto *reparented = reinterpret_cast<xcb_reparent_notify_event_t *>(event);
            if (reparented->event != m_root)
                break;
            if (reparented->parent == m_root) {
                // Given back by the window manager: a top level of its own again.
                for (Window &window : m_topLevels) {
                    if (window.client == reparented->window)
                        window.client = 0;
                }
                xcb_get_geometry_reply_t *geometry =
                    xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, reparented->window), nullptr);
                m_topLevels.insert(
                    reparented->window,
                    {geometry ? QRect(geometry->x, geometry->y, geometry->width, geometry->height) : QRect()});
                std::free(geometry);
            } else {
                m_topLevels.remove(reparented->window);
                if (const auto frame = m_topLevels.find(reparented->parent); frame != m_topLevels.end())
                    frame->client = reparented->window;
            }
            break;
        }
        case XCB_MAP_NOTIFY: {
            const auto *mapped = reinterpret_cast<xcb_map_notify_event_t *>(event);
            const auto it = m_topLevels.find(mapped->window);
            if (mapped->event != m_root || it == m_topLevels.end())
                break;
            it->mapped = true;
            const quint32 client = it->client ? it->client : mapped->window;
            m_latestByTitle.insert(titleOf(client), client);
            recordPlace(mapped->window);
            break;
        }
        case XCB_UNMAP_NOTIFY: {
            const auto *unmapped = reinterpret_cast<xcb_unmap_notify_event_t *>(event);
            if (const auto it = m_topLevels.find(unmapped->window);
                unmapped->event == m_root && it != m_topLevels.end())
                it->mapped = false;
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto *destroyed = reinterpret_cast<xcb_destroy_notify_event_t *>(event);
            if (destroyed->event == m_root)
                m_topLevels.remove(destroyed->window);
            break;
        }
        default: break;
        }
        std::free(event);
    }
}

QByteArray WindowPlaces::titleOf(quint32 window) const
{
    const QByteArray title = textProperty(m_connection, window, m_netWmName);
    return title.isEmpty() ? textProperty(m_connection, window, XCB_ATOM_WM_NAME) : title;
}

void WindowPlaces::recordPlace(quint32 topLevel)
{
    const Window &window = m_topLevels[topLevel];
    QList<QRect> &places = m_places[window.client ? window.client : topLevel];
    // A restacking is told as a configuration too; only a change of place counts.
    if (places.isEmpty() || places.last() != window.geometry)
        places.append(window.geometry);
}
