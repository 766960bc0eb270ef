#pragma once
// Left-mouse-up monitors: global ones from XInput2 raw button events on the root window (their
// own connection and thread), local ones from an event filter on the application. A release over
// one of our own windows goes to the local monitors only. Pointer-moved monitors take raw motion
// events, selected only while such a monitor exists.

#include "platform/MouseUpMonitor.h"
#include "platform/x11/XcbEventLoop.h"

#include <QObject>

#include <atomic>
#include <map>

class X11MouseUpMonitor : public MouseUpMonitor, private QObject {
public:
    // None without an X server.
    static std::unique_ptr<X11MouseUpMonitor> create();
    ~X11MouseUpMonitor() override;

    Token addGlobalLeftMouseUpMonitor(Handler handler) override;
    Token addLocalLeftMouseUpMonitor(Handler handler) override;
    Token addGlobalMouseMovedMonitor(Handler handler) override;
    void removeMonitor(Token token) override;

private:
    explicit X11MouseUpMonitor(std::unique_ptr<XcbConnection> connection);
    // Selects the raw events the monitors need; starts the event thread the first time.
    bool selectRawEvents();
    void handleEvent(const xcb_generic_event_t &event);
    void deliverGlobal();
    void deliverMoved();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<XcbConnection> m_connection;
    XcbEventLoop m_loop;
    uint8_t m_inputOpcode = 0;
    bool m_rawEventsStarted = false;
    bool m_motionSelected = false;
    // Set from the event thread while a delivery of moves waits on the main thread.
    std::atomic<bool> m_movePending{false};
    bool m_filterInstalled = false;
    // Main thread only.
    std::map<Token, Handler> m_global;
    std::map<Token, Handler> m_local;
    std::map<Token, Handler> m_moved;
    Token m_next = 1;
};
