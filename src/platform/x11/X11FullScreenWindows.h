#pragma once
// Full-screen windows over EWMH: the managed windows (_NET_CLIENT_LIST) whose _NET_WM_STATE has
// _NET_WM_STATE_FULLSCREEN and not _NET_WM_STATE_HIDDEN, on the current desktop. The root's lists
// and each window's state and geometry are watched on a connection and thread of their own; what
// they cover is read there and handed to the GUI thread.

#include "platform/FullScreenWindows.h"
#include "platform/x11/XcbConnection.h"
#include "platform/x11/XcbEventLoop.h"

#include <QList>
#include <QRect>
#include <QSet>

class X11FullScreenWindows : public FullScreenWindows {
    Q_OBJECT
public:
    // None without an X server.
    static std::unique_ptr<X11FullScreenWindows> create();
    ~X11FullScreenWindows() override;

    bool coversScreen(const QScreen *screen) const override;

private:
    explicit X11FullScreenWindows(std::unique_ptr<XcbConnection> connection);
    // Loop thread.
    void handleEvent(const xcb_generic_event_t &event);
    bool refreshIfNeeded();
    QList<QRect> readFullScreenFrames();
    void watchClients(const QList<xcb_window_t> &clients);

    std::unique_ptr<XcbConnection> m_connection;
    struct Atoms {
        xcb_atom_t clientList = XCB_ATOM_NONE;
        xcb_atom_t stacking = XCB_ATOM_NONE;
        xcb_atom_t currentDesktop = XCB_ATOM_NONE;
        xcb_atom_t state = XCB_ATOM_NONE;
        xcb_atom_t fullScreen = XCB_ATOM_NONE;
        xcb_atom_t hidden = XCB_ATOM_NONE;
        xcb_atom_t desktop = XCB_ATOM_NONE;
    } m_atoms; // read before the thread starts
    // Loop thread only.
    QSet<xcb_window_t> m_watched;
    bool m_dirty = true;
    QList<QRect> m_lastFrames;
    // GUI thread only: the frames in the X server's pixels.
    QList<QRect> m_frames;
    // Declared last: the thread stops before the state above goes.
    std::unique_ptr<XcbEventLoop> m_loop;
};
