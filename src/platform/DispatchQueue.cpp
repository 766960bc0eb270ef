#include "platform/DispatchQueue.h"

#include "platform/FailureKind.h"
#include "platform/Log.h"

#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <memory>
#include <pthread.h>

bool postAndWait(const std::function<void(std::function<void()>)> &post, std::function<void()> work,
                 std::chrono::milliseconds timeout)
{
    struct State {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
    };
    auto state = std::make_shared<State>();
    post([state, work = std::move(work)] {
        work();
        std::lock_guard lock(state->mutex);
        state->finished = true;
        state->done.notify_all();
    });
    std::unique_lock lock(state->mutex);
    return state->done.wait_for(lock, timeout, [&] { return state->finished; });
}

namespace MainQueue {

void async(std::function<void()> work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(app, std::move(work), Qt::QueuedConnection);
}

void asyncAfter(std::chrono::milliseconds delay, std::function<void()> work)
{
    async([delay, work = std::move(work)]() mutable {
        QTimer::singleShot(delay, QCoreApplication::instance(), std::move(work));
    });
}

void asyncUnlessCurrent(std::function<void()> work)
{
    if (!QCoreApplication::instance() || isCurrent())
        work();
    else
        async(std::move(work));
}

DelayedScheduler scheduler()
{
    return [](std::chrono::milliseconds delay, std::function<void()> work) { asyncAfter(delay, std::move(work)); };
}

bool isCurrent()
{
    QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

bool syncWithTimeout(std::function<void()> work, std::chrono::milliseconds timeout)
{
    if (isCurrent()) {
        work();
        return true;
    }
    return postAndWait([](std::function<void()> task) { async(std::move(task)); }, std::move(work), timeout);
}

} // namespace MainQueue

namespace GlobalQueue {
void async(std::function<void()> work) { QThreadPool::globalInstance()->start(std::move(work)); }
} // namespace GlobalQueue

namespace {
thread_local const SerialQueue *t_currentQueue = nullptr;
}

SerialQueue::SerialQueue(QString label) : m_label(std::move(label))
{
    m_thread = std::thread([this] { run(); });
}

SerialQueue::~SerialQueue() { shutdown(); }

void SerialQueue::async(std::function<void()> work)
{
    std::lock_guard lock(m_mutex);
    if (m_stopping)
        return;
    m_work.push_back(std::move(work));
    m_wake.notify_one();
}

void SerialQueue::sync(const std::function<void()> &work)
{
    if (isCurrent()) {
        work();
        return;
    }
    std::mutex doneMutex;
    std::condition_variable doneSignal;
    bool finished = false;
    async([&] {
        work();
        std::lock_guard lock(doneMutex);
        finished = true;
        doneSignal.notify_all();
    });
    std::unique_lock lock(doneMutex);
    // Work queued after shutdown never runs; don't wait for it then.
    while (!finished) {
        if (doneSignal.wait_for(lock, std::chrono::milliseconds(50), [&] { return finished; }))
            break;
        std::lock_guard queueLock(m_mutex);
        if (m_stopping && m_work.empty() && !m_busy)
            break;
    }
}

void SerialQueue::drain()
{
    if (isCurrent())
        return;
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return m_work.empty() && !m_busy; });
}

void SerialQueue::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping && !m_thread.joinable())
            return;
        m_stopping = true;
        m_wake.notify_all();
    }
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
        m_thread.join();
}

bool SerialQueue::isCurrent() const { return t_currentQueue == this; }

void SerialQueue::run()
{
    t_currentQueue = this;
    // Named for profilers and debuggers (the system keeps at most 15 bytes).
    pthread_setname_np(pthread_self(), m_label.toUtf8().right(15).constData());
    for (;;) {
        std::function<void()> work;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_stopping || !m_work.empty(); });
            if (m_work.empty()) {
                m_idle.notify_all();
                return; // stopping and drained
            }
            work = std::move(m_work.front());
            m_work.pop_front();
            m_busy = true;
        }
        try {
            work();
        } catch (const std::exception &error) {
            LOG_ERROR("SerialQueue::run()", QStringLiteral("Work on %1 threw: %2").arg(m_label, exceptionKind(error)));
        } catch (...) {
            LOG_ERROR("SerialQueue::run()", QStringLiteral("Work on %1 threw an unknown exception").arg(m_label));
        }
        std::lock_guard lock(m_mutex);
        m_busy = false;
        if (m_work.empty())
            m_idle.notify_all();
    }
}
