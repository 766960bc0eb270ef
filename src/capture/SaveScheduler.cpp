#include "capture/SaveScheduler.h"

#include "platform/DispatchQueue.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <mutex>

namespace {
constexpr std::chrono::milliseconds kLongestRetryDelay{60000};
}

struct SaveScheduler::State {
    std::mutex mutex; // one save at a time
    SaveFunction save;
    std::chrono::milliseconds retryDelay{5000};
    std::atomic<bool> pending{false};
    std::atomic<int> saves{0};
    std::atomic<int> failures{0};

    // Runs a save when `pending` still asks for one (or always, with force).
    static void runLater(const std::shared_ptr<State> &state, std::chrono::milliseconds delay)
    {
        // The timer runs on the main loop; the save itself on a worker, so the interface never
        // waits for the disk.
        MainQueue::asyncAfter(delay, [state] {
            GlobalQueue::async([state] {
                if (state->pending.load())
                    run(state);
            });
        });
    }

    static bool run(const std::shared_ptr<State> &state)
    {
        std::lock_guard lock(state->mutex);
        state->pending.store(false);
        if (!state->save)
            return true;
        if (state->save()) {
            ++state->saves;
            state->failures.store(0);
            return true;
        }
        // Still pending: try again later, waiting longer after each failure in a row.
        const int failures = ++state->failures;
        state->pending.store(true);
        if (QCoreApplication::instance()) {
            const auto wait = std::min(kLongestRetryDelay, state->retryDelay * (1 << std::min(failures - 1, 4)));
            runLater(state, wait);
        }
        return false;
    }
};

SaveScheduler::SaveScheduler(SaveFunction save, std::chrono::milliseconds delay, std::chrono::milliseconds retryDelay)
    : m_state(std::make_shared<State>()),
      m_delay(delay)
{
    m_state->save = std::move(save);
    m_state->retryDelay = retryDelay;
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
        State::run(m_state);
        return;
    }
    State::runLater(m_state, m_delay);
}

bool SaveScheduler::flush(bool force)
{
    if (force || m_state->pending.load())
        return State::run(m_state);
    return true;
}

bool SaveScheduler::isPending() const { return m_state->pending.load(); }

int SaveScheduler::saveCount() const { return m_state->saves.load(); }

int SaveScheduler::failureCount() const { return m_state->failures.load(); }
