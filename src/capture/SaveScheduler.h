#pragma once
// Writes the history's pending changes soon after they were made: a change asks for a save, and
// the save runs off the main thread at most about a second later, one for any number of changes
// in between. flush() saves at once (termination, SIGTERM, the end of the session). Any thread.

#include <chrono>
#include <functional>
#include <memory>

class SaveScheduler {
public:
    using SaveFunction = std::function<void()>;

    explicit SaveScheduler(SaveFunction save, std::chrono::milliseconds delay = std::chrono::milliseconds(1000));
    // Saves what is pending.
    ~SaveScheduler();
    SaveScheduler(const SaveScheduler &) = delete;
    SaveScheduler &operator=(const SaveScheduler &) = delete;

    // Asks for a save within the delay. Any thread.
    void schedule();
    // Saves now on the calling thread when a save is pending (or always, with force). Any thread.
    void flush(bool force = false);
    bool isPending() const;
    int saveCount() const;

private:
    struct State;
    std::shared_ptr<State> m_state;
    std::chrono::milliseconds m_delay;
};
