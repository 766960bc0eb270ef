#pragma once
// One connection to the X server, owned by one backend. Atoms are interned once and cached.
// The connection may be used from any thread; each backend keeps its requests on its own thread.

#include <QByteArray>
#include <QHash>
#include <QList>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>

struct XcbFree {
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, XcbFree>;

class XcbConnection {
public:
    // Connects to $DISPLAY; none when there is no X server.
    static std::unique_ptr<XcbConnection> open();
    ~XcbConnection();
    XcbConnection(const XcbConnection &) = delete;
    XcbConnection &operator=(const XcbConnection &) = delete;

    xcb_connection_t *raw() const { return m_connection; }
    xcb_screen_t *screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen->root; }
    bool hasError() const { return xcb_connection_has_error(m_connection) != 0; }
    void flush() const { xcb_flush(m_connection); }

    xcb_atom_t atom(const QByteArray &name);
    QByteArray atomName(xcb_atom_t atom);
    // Names of many atoms in one round trip for the ones not cached yet.
    QList<QByteArray> atomNames(const QList<xcb_atom_t> &atoms);

    // An unmapped input-only window that receives the given events.
    xcb_window_t createWindow(uint32_t eventMask);

    // Window properties; empty when absent.
    QByteArray property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type = XCB_GET_PROPERTY_TYPE_ANY);
    std::optional<uint32_t> cardinalProperty(xcb_window_t window, xcb_atom_t property);
    std::optional<xcb_window_t> windowProperty(xcb_window_t window, xcb_atom_t property);
    // The process of the client that made the window: _NET_WM_PID, else the X-Resource answer; 0 unknown.
    qint64 processOfWindow(xcb_window_t window);

private:
    XcbConnection(xcb_connection_t *connection, xcb_screen_t *screen);

    xcb_connection_t *m_connection;
    xcb_screen_t *m_screen;
    std::mutex m_atomMutex;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QByteArray> m_names;
};
