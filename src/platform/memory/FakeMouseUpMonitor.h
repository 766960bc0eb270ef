#pragma once
// Mouse-up monitors for tests: a test plays the releases.

#include "platform/MouseUpMonitor.h"

#include <map>

class FakeMouseUpMonitor : public MouseUpMonitor {
public:
    Token addGlobalLeftMouseUpMonitor(Handler handler) override;
    Token addLocalLeftMouseUpMonitor(Handler handler) override;
    Token addGlobalMouseMovedMonitor(Handler handler) override;
    void removeMonitor(Token token) override;

    void simulateGlobalMouseUp(QPoint position);
    void simulateLocalMouseUp(QPoint position);
    void simulateMouseMoved(QPoint position);
    int monitorCount() const { return int(m_global.size() + m_local.size()); }
    int movedMonitorCount() const { return int(m_moved.size()); }

private:
    static void deliver(const std::map<Token, Handler> &handlers, QPoint position);

    std::map<Token, Handler> m_global;
    std::map<Token, Handler> m_local;
    std::map<Token, Handler> m_moved;
    Token m_next = 1;
};
