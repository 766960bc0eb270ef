#pragma once
// The longest interval in which the GUI thread did not return to its event loop: the longest gap
// between two ticks of a precise 1 ms timer, which only fires from the event loop. The longest gap
// is split into the time the thread ran (its CPU clock) and the time it was ready but waited for a
// CPU (the kernel's schedstat of the thread): a stall that is mostly waiting is the machine's
// load, not the program's work; the rest of it the thread slept (on a lock, a reply, a disk
// read). Main thread.

#include <QElapsedTimer>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace Bench {

class StallWatch {
public:
    StallWatch() : m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Sample now = sample();
            if (now.at - m_last.at > m_longest.at) {
                m_longest = {now.at - m_last.at, now.running - m_last.running, now.waiting - m_last.waiting};
                m_longestEndedAt = now.at;
                m_longestEndedTime = QTime::currentTime();
            }
            m_last = now;
        });
        m_clock.start();
        m_last = sample();
        m_timer.start(1);
    }
    ~StallWatch()
    {
        if (m_schedstat >= 0)
            ::close(m_schedstat);
    }
    StallWatch(const StallWatch &) = delete;
    StallWatch &operator=(const StallWatch &) = delete;

    void reset()
    {
        m_clock.restart();
        m_last = sample();
        m_longest = {};
        m_longestEndedAt = 0;
        m_longestEndedTime = {};
    }

    // The longest gap, split: how long the thread ran, how long it was ready but waited for a
    // CPU, and how long it slept. The split needs the kernel's schedstat (canSplit()).
    struct Gap {
        double ms = 0;
        double ranMs = 0;
        double waitedMs = 0;
        double sleptMs = 0;
    };
    // Counting the stall still under way, when the timer has not fired since.
    Gap longest() const
    {
        const Sample now = sample();
        const bool underWay = now.at - m_last.at > m_longest.at;
        const Sample gap = underWay
                               ? Sample{now.at - m_last.at, now.running - m_last.running, now.waiting - m_last.waiting}
                               : m_longest;
        return {double(gap.at) / 1e6, double(gap.running) / 1e6, double(gap.waiting) / 1e6,
                double(std::max<qint64>(0, gap.at - gap.running - gap.waiting)) / 1e6};
    }
    double longestMs() const { return longest().ms; }
    // When the longest stall ended: milliseconds since the last reset, and the time of day.
    double longestEndedAtMs() const { return double(m_longestEndedAt) / 1e6; }
    QTime longestEndedTime() const { return m_longestEndedTime; }
    bool canSplit() const { return m_schedstat >= 0; }

private:
    // The clock, with the thread's time on a CPU and waiting for one, in nanoseconds.
    struct Sample {
        qint64 at = 0;
        qint64 running = 0;
        qint64 waiting = 0;
    };

    Sample sample() const
    {
        Sample sample{m_clock.isValid() ? m_clock.nsecsElapsed() : 0};
        // The thread's own clock is exact at any moment; the schedstat's run time lags behind it
        // by up to a scheduler tick while the thread runs. Its waiting time is brought up to date
        // whenever the thread gets a CPU, as it has one now.
        timespec ran{};
        if (::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ran) == 0)
            sample.running = qint64(ran.tv_sec) * 1000000000 + ran.tv_nsec;
        char line[96] = {};
        if (m_schedstat >= 0 && ::pread(m_schedstat, line, sizeof line - 1, 0) > 0) {
            long long running = 0, waiting = 0;
            if (std::sscanf(line, "%lld %lld", &running, &waiting) == 2)
                sample.waiting = waiting;
        }
        return sample;
    }

    const int m_schedstat;
    QTimer m_timer;
    QElapsedTimer m_clock;
    Sample m_last;
    // `at` is the gap's length.
    Sample m_longest;
    qint64 m_longestEndedAt = 0;
    QTime m_longestEndedTime;
};

} // namespace Bench
