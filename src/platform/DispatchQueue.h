#pragma once
// Queues: the main queue is the Qt event loop; a SerialQueue runs its work in order on one
// worker thread of its own; the global queue is Qt's global thread pool.

#include <QString>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Hands the work to `post`, which runs it on another thread, and waits at most `timeout` for it
// to finish. False when it did not finish in time (it may still run later).
bool postAndWait(const std::function<void(std::function<void()>)> &post, std::function<void()> work,
                 std::chrono::milliseconds timeout);

// Runs work once, a delay from now: the main queue's timers in the program, a virtual clock in
// tests that must not depend on how busy the machine is.
using DelayedScheduler = std::function<void(std::chrono::milliseconds delay, std::function<void()> work)>;

namespace MainQueue {
// Runs on the GUI thread's event loop. Any thread. Dropped when no application object exists.
void async(std::function<void()> work);
void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work);
// Runs at once on the GUI thread (or where no application object exists), else as async(). Any thread.
void asyncUnlessCurrent(std::function<void()> work);
bool isCurrent();
// asyncAfter as a scheduler.
DelayedScheduler scheduler();
// Runs work on the main thread and waits for it at most `timeout`. Returns false (and the work
// may still run later) when the main thread did not get to it in time; runs inline on the main thread.
bool syncWithTimeout(std::function<void()> work, std::chrono::milliseconds timeout);
} // namespace MainQueue

namespace GlobalQueue {
void async(std::function<void()> work);
}

class SerialQueue {
public:
    explicit SerialQueue(QString label);
    ~SerialQueue(); // drains and joins
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    const QString &label() const { return m_label; }

    void async(std::function<void()> work);
    // Runs work on the queue and waits for it; runs inline when called from the queue itself.
    void sync(const std::function<void()> &work);
    // Waits until everything queued so far has run. Work queued after shutdown() is dropped.
    void drain();
    void shutdown();
    bool isCurrent() const;

private:
    void run();

    QString m_label;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<std::function<void()>> m_work;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};
