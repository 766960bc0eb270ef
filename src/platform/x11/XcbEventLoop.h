#pragma once
// A thread that owns the event stream of one XcbConnection: it hands each event to a handler,
// runs tasks posted from other threads, and lets work on it wait for a particular event with a
// deadline while the other events still reach the handler. Idle, it sleeps until the server or a
// task wakes it; so once it has started, requests on its connection are made on the loop only
// (post them), since a reply read elsewhere may queue events that wake nobody.

#include "platform/x11/XcbConnection.h"

#include <QString>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <optional>
#include <thread>

class XcbEventLoop {
public:
    using Clock = std::chrono::steady_clock;
    using EventHandler = std::function<void(const xcb_generic_event_t &event)>;
    XcbEventLoop(XcbConnection &connection, QString name);
    ~XcbEventLoop(); // stops and joins
    XcbEventLoop(const XcbEventLoop &) = delete;
    XcbEventLoop &operator=(const XcbEventLoop &) = delete;

    // `idle` runs on the loop after each round of events and tasks; it answers whether it has
    // more to do at once (the loop then goes round again instead of sleeping).
    void start(EventHandler handler, std::function<bool()> idle = {});
    void stop();
    // Stops every loop that runs (the X server is gone, the program ends): none of them handles an
    // event, runs a task or logs after it returns. Any thread but a loop's own.
    static void stopAll();

    // Any thread. Stopped, or ended by a broken connection.
    bool isStopped() const { return m_stopping; }
    void post(std::function<void()> task);
    // Runs the task on the loop and waits for it at most `timeout`; inline on the loop itself.
    bool postAndWait(std::function<void()> task, std::chrono::milliseconds timeout);
    bool isCurrent() const { return std::this_thread::get_id() == m_thread.get_id(); }

    // Loop thread only. The first event that `match` accepts (the caller frees nothing: the result
    // owns it), or none at the deadline, on stop, or as soon as `abort` answers true.
    XcbReply<xcb_generic_event_t> waitForEvent(const std::function<bool(const xcb_generic_event_t &)> &match,
                                               Clock::time_point deadline, const std::function<bool()> &abort);

private:
    void halt();
    void run();
    void dispatchQueued();
    void runTasks();
    // Without a timeout, until the server or a task wakes the loop.
    bool waitReadable(std::optional<Clock::duration> timeout);

    XcbConnection &m_connection;
    QString m_name;
    EventHandler m_handler;
    std::function<bool()> m_idle;
    int m_wakeFd = -1;
    std::atomic<bool> m_stopping = false;
    std::mutex m_taskMutex;
    std::deque<std::function<void()>> m_tasks;
    std::thread m_thread;
};
