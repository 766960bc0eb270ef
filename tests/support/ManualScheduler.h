#pragma once
// A scheduler on a virtual clock: scheduled work runs only when the test moves the clock past its
// time, in time order (work due at the same moment in the order it was scheduled). Work may be
// scheduled from any thread; advance() runs it on the caller's thread.

#include "platform/DispatchQueue.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

class ManualScheduler {
public:
    using Duration = std::chrono::milliseconds;

    DelayedScheduler scheduler()
    {
        return [state = m_state](Duration delay, std::function<void()> work) {
            std::lock_guard lock(state->mutex);
            state->pending.emplace(std::make_pair(state->now + delay, state->sequence++), std::move(work));
        };
    }

    // Moves the clock forward, running what falls due on the way (also work scheduled meanwhile).
    void advance(Duration by)
    {
        Duration target;
        {
            std::lock_guard lock(m_state->mutex);
            target = m_state->now + by;
        }
        for (;;) {
            std::function<void()> work;
            {
                std::lock_guard lock(m_state->mutex);
                const auto next = m_state->pending.begin();
                if (next == m_state->pending.end() || next->first.first > target) {
                    m_state->now = target;
                    return;
                }
                m_state->now = next->first.first;
                work = std::move(next->second);
                m_state->pending.erase(next);
            }
            work();
        }
    }

    Duration now() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->now;
    }

    std::size_t pending() const
    {
        std::lock_guard lock(m_state->mutex);
        return m_state->pending.size();
    }

private:
    struct State {
        mutable std::mutex mutex;
        Duration now{0};
        quint64 sequence = 0;
        std::map<std::pair<Duration, quint64>, std::function<void()>> pending;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
