#pragma once
// Left-mouse-up monitors: global ones see releases in any program, local ones in our own windows;
// and global pointer-moved monitors. Handlers run on the main thread with the pointer's global
// position (device-independent pixels).

#include <QPoint>

#include <functional>
#include <memory>

class MouseUpMonitor {
public:
    using Handler = std::function<void(QPoint globalPosition)>;
    using Token = quint64;

    virtual ~MouseUpMonitor() = default;

    static MouseUpMonitor &shared();
    static void setShared(std::unique_ptr<MouseUpMonitor> monitor);

    // Main thread. A token of 0 means the monitor could not be installed.
    virtual Token addGlobalLeftMouseUpMonitor(Handler handler) = 0;
    virtual Token addLocalLeftMouseUpMonitor(Handler handler) = 0;
    // Called after the pointer moved, anywhere; several moves may come as one call. Nothing is
    // watched (nor woken) while no such monitor exists.
    virtual Token addGlobalMouseMovedMonitor(Handler handler) = 0;
    // Unknown or already removed tokens are ignored.
    virtual void removeMonitor(Token token) = 0;
};
