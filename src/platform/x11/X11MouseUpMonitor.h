#pragma once
// Left-mouse-up monitors: global ones from XInput2 raw button events on the root window (their
// own connection and thread), local ones from an event filter on the application. A release over
// one of our own windows goes to the local monitors only.

#include "platform/MouseUpMonitor.h"
#include "platform/x11/XcbEventLoop.h"

#include <QObject>

#include <map>

class X11MouseUpMonitor : public MouseUpMonitor, private QObject {
public:
    // None without an X server.
    static std::unique_ptr<X11MouseUpMonitor> create();
    ~X11MouseUpMonitor() override;

    Token addGlobalLeftMouseUpMonitor(Handler handler) override;
    Token addLocalLeftMouseUpMonitor(Handler handler) override;
    void removeMonitor(Token token) override;

private:
    explicit X11MouseUpMonitor(std::unique_ptr<XcbConnection> connection);
    bool startRawEvents();
    void handleEvent(const xcb_generic_event_t &event);
    void deliverGlobal();
    bool eventFilter(QObject *watched, QEvent *event) override;

    std::unique_ptr<XcbConnection> m_connection;
    XcbEventLoop m_loop;
    uint8_t m_inputOpcode = 0;
    bool m_rawEventsStarted = false;
    bool m_filterInstalled = false;
    // Main thread only.
    std::map<Token, Handler> m_global;
    std::map<Token, Handler> m_local;
    Token m_next = 1;
};
