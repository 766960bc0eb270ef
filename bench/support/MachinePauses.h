#pragma once
// Pauses of the machine itself, apart from the program's own work: two threads, each held to a
// processor of its own, do nothing but sleep 1 ms at a time and note each wake-up that comes late;
// a pause is a moment both were late at once. On a virtual machine whose host holds its
// processors back, every thread of every process stops together and counts the held time as run
// time; a GUI stall that such a pause lies inside is then partly the machine's, and the
// benchmarks print how much. Any thread.

#include <QByteArray>

#include <algorithm>
#include <atomic>
#include <deque>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include <pthread.h>
#include <sched.h>
#include <time.h>

namespace Bench {

class MachinePauses {
public:
    // A wake-up later than this is late; a machine with a free processor wakes a sleeper well
    // within it.
    static constexpr qint64 kLateNs = 500000;

    // Started at the first call; watches until the process ends.
    static MachinePauses &shared()
    {
        static MachinePauses pauses;
        return pauses;
    }

    // CLOCK_MONOTONIC, the clock of QElapsedTimer too, in nanoseconds.
    static qint64 now()
    {
        timespec t{};
        ::clock_gettime(CLOCK_MONOTONIC, &t);
        return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    }

    // How long the machine was paused between two moments of now().
    qint64 pausedNs(qint64 from, qint64 to) const
    {
        qint64 paused = 0;
        for (const Pause &pause : pauses(from, to))
            paused += pause.end - pause.start;
        return paused;
    }

    // "the machine paused 3 times (longest 40.1 ms)" since a moment of now().
    QByteArray describeSince(qint64 from) const
    {
        qint64 count = 0, longest = 0;
        for (const Pause &pause : pauses(from, now())) {
            ++count;
            longest = std::max(longest, pause.end - pause.start);
        }
        if (count == 0)
            return "the machine did not pause";
        QByteArray text("the machine paused ");
        text += QByteArray::number(count);
        text += count == 1 ? " time (longest " : " times (longest ";
        text += QByteArray::number(double(longest) / 1e6, 'f', 1);
        text += " ms)";
        return text;
    }

    MachinePauses(const MachinePauses &) = delete;
    MachinePauses &operator=(const MachinePauses &) = delete;

private:
    struct Pause {
        qint64 start = 0;
        qint64 end = 0;
    };
    // Kept for the last minutes of a run; a benchmark asks about the stretch it just timed.
    static constexpr size_t kKept = 8192;

    MachinePauses()
    {
        const int processors = std::max(1, int(std::thread::hardware_concurrency()));
        for (int watcher = 0; watcher < 2; ++watcher)
            m_threads.emplace_back(
                [this, watcher, processor = watcher * (processors / 2)] { watch(watcher, processor); });
    }
    ~MachinePauses()
    {
        m_stopping = true;
        for (std::thread &thread : m_threads)
            thread.join();
    }

    void watch(int watcher, int processor)
    {
        cpu_set_t processors;
        CPU_ZERO(&processors);
        CPU_SET(processor, &processors);
        ::pthread_setaffinity_np(::pthread_self(), sizeof processors, &processors);
        const timespec interval{0, 1000000};
        while (!m_stopping.load(std::memory_order_relaxed)) {
            const qint64 before = now();
            ::nanosleep(&interval, nullptr);
            const qint64 due = before + interval.tv_nsec, woke = now();
            if (woke - due > kLateNs) {
                const std::lock_guard<std::mutex> lock(m_mutex);
                std::deque<Pause> &late = m_late[watcher];
                late.push_back({due, woke});
                if (late.size() > kKept)
                    late.pop_front();
            }
        }
    }

    // The moments within [from, to] both watchers were late, in order.
    std::vector<Pause> pauses(qint64 from, qint64 to) const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        // Each list is in order and its entries apart: a walk back stops at the first one that
        // ended before `from`.
        const auto since = [from](const std::deque<Pause> &late) {
            auto first = late.end();
            while (first != late.begin() && std::prev(first)->end > from)
                --first;
            return first;
        };
        std::vector<Pause> both;
        auto a = since(m_late[0]), b = since(m_late[1]);
        while (a != m_late[0].end() && b != m_late[1].end()) {
            const qint64 start = std::max({from, a->start, b->start}), end = std::min({to, a->end, b->end});
            if (start < end)
                both.push_back({start, end});
            (a->end < b->end ? a : b)++;
        }
        return both;
    }

    mutable std::mutex m_mutex;
    std::deque<Pause> m_late[2];
    std::atomic<bool> m_stopping{false};
    std::vector<std::thread> m_threads;
};

} // namespace Bench
