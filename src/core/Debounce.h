#pragma once
// Trailing debounce: of a burst of calls closer together than the interval only the last one
// runs its action, one interval after it was made. The returned function may be called from
// any thread; the action runs where the scheduler puts it (the main queue by default).

#include "platform/DispatchQueue.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

using DebounceScheduler = DelayedScheduler;

inline DebounceScheduler mainQueueScheduler() { return MainQueue::scheduler(); }

// The action receives the argument of the call that runs it.
template <typename... Args>
std::function<void(Args...)> debounce(std::chrono::milliseconds interval, DebounceScheduler scheduler,
                                      std::type_identity_t<std::function<void(Args...)>> action)
{
    // Each call takes a number; a scheduled check runs the action only when no later call took
    // one. Unlike comparing clock readings, this neither drops the last call when a timer fires a
    // little early nor runs a stale one when the queue was busy.
    auto lastCall = std::make_shared<std::atomic<quint64>>(0);
    return [=](Args... args) {
        const quint64 call = lastCall->fetch_add(1) + 1;
        scheduler(interval, [=] {
            if (lastCall->load() == call)
                action(args...);
        });
    };
}

inline std::function<void()> debounce(std::chrono::milliseconds interval, std::function<void()> action)
{
    return debounce<>(interval, mainQueueScheduler(), std::move(action));
}
