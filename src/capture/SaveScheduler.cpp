#include "capture/SaveScheduler.h"

#include "platform/DispatchQueue.h"

#include <QCoreApplication>

#include <atomic>
#include <mutex>

struct SaveScheduler::State {
    std::mutex mutex; // one save at a time
    SaveFunction save;
    std::atomic<bool> pending{false};
    std::atomic<int> saves{0};

    void run()
    {
        std::lock_guard lock(mutex);
        pending.store(false);
        if (!save)
            return;
        save();
        ++saves;
    }
};

SaveScheduler::SaveScheduler(SaveFunction save, std::chrono::milliseconds delay)
    : m_state(std::make_shared<State>()), m_delay(delay)
{
    m_state->save = std::move(save);
}

SaveScheduler::~SaveScheduler()
{
    flush();
    std::lock_guard lock(m_state->mutex);
    m_state->save = nullptr; // queued timers that fire later find nothing to do
}

void SaveScheduler::schedule()
{
    // The first request of a burst starts the clock; later ones ride along.
    if (m_state->pending.exchange(true))
        return;
    if (!QCoreApplication::instance()) {
        m_state->run();
        return;
    }
    // The timer runs on the main loop; the save itself on a worker, so the interface never
    // waits for the disk.
    MainQueue::asyncAfter(m_delay, [state = m_state] {
        GlobalQueue::async([state] {
            if (state->pending.load())
                state->run();
        });
    });
}

void SaveScheduler::flush(bool force)
{
    if (force || m_state->pending.load())
        m_state->run();
}

bool SaveScheduler::isPending() const
{
    return m_state->pending.load();
}

int SaveScheduler::saveCount() const
{
    return m_state->saves.load();
}
