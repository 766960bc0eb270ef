#include "platform/memory/FakeMouseUpMonitor.h"

MouseUpMonitor::Token FakeMouseUpMonitor::addGlobalLeftMouseUpMonitor(Handler handler)
{
    m_global[m_next] = std::move(handler);
    return m_next++;
}

MouseUpMonitor::Token FakeMouseUpMonitor::addLocalLeftMouseUpMonitor(Handler handler)
{
    m_local[m_next] = std::move(handler);
    return m_next++;
}

MouseUpMonitor::Token FakeMouseUpMonitor::addGlobalMouseMovedMonitor(Handler handler)
{
    m_moved[m_next] = std::move(handler);
    return m_next++;
}

void FakeMouseUpMonitor::removeMonitor(Token token)
{
    m_global.erase(token);
    m_local.erase(token);
    m_moved.erase(token);
}

void FakeMouseUpMonitor::simulateGlobalMouseUp(QPoint position) { deliver(m_global, position); }

void FakeMouseUpMonitor::simulateLocalMouseUp(QPoint position) { deliver(m_local, position); }

void FakeMouseUpMonitor::simulateMouseMoved(QPoint position) { deliver(m_moved, position); }

void FakeMouseUpMonitor::deliver(const std::map<Token, Handler> &handlers, QPoint position)
{
    // A handler may remove monitors; deliver to a snapshot.
    const std::map<Token, Handler> snapshot = handlers;
    for (const auto &entry : snapshot) {
        if (entry.second)
            entry.second(position);
    }
}
