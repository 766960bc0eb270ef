#pragma once
// Writes the history's pending changes soon after they were made: a change asks for a save, and
// the save runs off the main thread at most about a second later, one for any number of changes
// in between. A save that fails is tried again, after a wait that grows up to a minute, until one
// succeeds. flush() saves at once (termination, SIGTERM, the end of the session). Any thread.

#include <chrono>
#include <functional>
#include <memory>

class SaveScheduler {
public:
    // Writes what is pending; false when the write failed (the changes are still pending).
    using SaveFunction = std::function<bool()>;

    explicit SaveScheduler(SaveFunction save, std::chrono::milliseconds delay = std::chrono::milliseconds(1000),
                           std::chrono::milliseconds retryDelay = std::chrono::milliseconds(5000));
    // Saves what is pending.
    ~SaveScheduler();
    SaveScheduler(const SaveScheduler &) = delete;
    SaveScheduler &operator=(const SaveScheduler &) = delete;

    // Asks for a save within the delay. Any thread.
    void schedule();
    // Saves now on the calling thread when a save is pending (or always, with force). False when
    // that save failed; a retry then stays scheduled. Any thread.
    bool flush(bool force = false);
    bool isPending() const;
    int saveCount() const;
    // Saves that failed in a row (0 after a success).
    int failureCount() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::chrono::milliseconds m_delay;
};
