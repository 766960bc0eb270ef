#include "platform/x11/XcbEventLoop.h"

#include "platform/DispatchQueue.h"
#include "platform/Log.h"

#include <mutex>
#include <vector>

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// The loops that were started and not stopped yet. Never destroyed: loops may stop at exit.
struct RunningLoops {
    std::mutex mutex;
    std::vector<XcbEventLoop *> loops;
};
RunningLoops &running()
{
    static auto *loops = new RunningLoops;
    return *loops;
}
} // namespace

XcbEventLoop::XcbEventLoop(XcbConnection &connection, QString name) : m_connection(connection), m_name(std::move(name))
{
    m_wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

XcbEventLoop::~XcbEventLoop()
{
    stop();
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
}

void XcbEventLoop::start(EventHandler handler, std::function<bool()> idle)
{
    m_handler = std::move(handler);
    m_idle = std::move(idle);
    m_thread = std::thread([this] {
        // Named for profilers and debuggers (the system keeps at most 15 bytes).
        pthread_setname_np(pthread_self(), QByteArray("x11 " + m_name.toUtf8()).left(15).constData());
        run();
    });
    std::lock_guard lock(running().mutex);
    running().loops.push_back(this);
}

void XcbEventLoop::stop()
{
    {
        std::lock_guard lock(running().mutex);
        std::erase(running().loops, this);
    }
    halt();
}

void XcbEventLoop::stopAll()
{
    // Held while they stop, so that none of them is destroyed meanwhile.
    std::lock_guard lock(running().mutex);
    for (XcbEventLoop *loop : running().loops)
        loop->halt();
    running().loops.clear();
}

void XcbEventLoop::halt()
{
    m_stopping = true;
    const uint64_t one = 1;
    if (m_wakeFd >= 0)
        (void)!::write(m_wakeFd, &one, sizeof one);
    if (m_thread.joinable() && !isCurrent())
        m_thread.join();
}

void XcbEventLoop::post(std::function<void()> task)
{
    {
        std::lock_guard lock(m_taskMutex);
        m_tasks.push_back(std::move(task));
    }
    const uint64_t one = 1;
    (void)!::write(m_wakeFd, &one, sizeof one);
}

bool XcbEventLoop::postAndWait(std::function<void()> task, std::chrono::milliseconds timeout)
{
    if (isCurrent()) {
        task();
        return true;
    }
    return ::postAndWait([this](std::function<void()> work) { post(std::move(work)); }, std::move(task), timeout);
}

void XcbEventLoop::run()
{
    while (!m_stopping) {
        dispatchQueued();
        runTasks();
        const bool busy = m_idle && !m_stopping && m_idle();
        if (m_connection.hasError()) {
            LOG_ERROR("XcbEventLoop::run()", m_name + QStringLiteral(": the X connection broke; stopping"));
            m_stopping = true;
            break;
        }
        // Replies read during the round may have queued events the socket no longer signals.
        if (xcb_generic_event_t *raw = xcb_poll_for_queued_event(m_connection.raw())) {
            XcbReply<xcb_generic_event_t> event(raw);
            if (m_handler)
                m_handler(*event);
            continue;
        }
        if (!busy)
            waitReadable(std::nullopt); // until the server or a task wakes the loop
    }
}

void XcbEventLoop::dispatchQueued()
{
    while (xcb_generic_event_t *raw = xcb_poll_for_event(m_connection.raw())) {
        XcbReply<xcb_generic_event_t> event(raw);
        if (m_handler)
            m_handler(*event);
    }
}

void XcbEventLoop::runTasks()
{
    for (;;) {
        std::function<void()> task;
        {
            std::lock_guard lock(m_taskMutex);
            if (m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

bool XcbEventLoop::waitReadable(std::optional<Clock::duration> timeout)
{
    pollfd fds[2] = {{xcb_get_file_descriptor(m_connection.raw()), POLLIN, 0}, {m_wakeFd, POLLIN, 0}};
    const int milliseconds =
        timeout ? std::max(0, int(std::chrono::ceil<std::chrono::milliseconds>(*timeout).count())) : -1;
    const int ready = ::poll(fds, 2, milliseconds);
    if (ready > 0 && (fds[1].revents & POLLIN)) {
        uint64_t count = 0;
        (void)!::read(m_wakeFd, &count, sizeof count);
    }
    return ready > 0;
}

XcbReply<xcb_generic_event_t> XcbEventLoop::waitForEvent(const std::function<bool(const xcb_generic_event_t &)> &match,
                                                         Clock::time_point deadline, const std::function<bool()> &abort)
{
    for (;;) {
        while (xcb_generic_event_t *raw = xcb_poll_for_event(m_connection.raw())) {
            XcbReply<xcb_generic_event_t> event(raw);
            if (match(*event))
                return event;
            if (m_handler)
                m_handler(*event);
        }
        if (m_stopping || m_connection.hasError() || (abort && abort()))
            return nullptr;
        const auto now = Clock::now();
        if (now >= deadline)
            return nullptr;
        waitReadable(std::min<Clock::duration>(deadline - now, std::chrono::milliseconds(100)));
    }
}
