#pragma once
// The longest interval in which the GUI thread did not return to its event loop: the longest gap
// between two ticks of a precise 1 ms timer, which only fires from the event loop. The longest gap
// is split into the time the thread ran (its CPU clock) and the time it was ready but waited for a
// CPU (the kernel's schedstat of the thread): a stall that is mostly waiting is the machine's
// load, not the program's work; the rest of it the thread slept (on a lock, a reply, a disk
// read). A pause of the whole machine inside the gap (MachinePauses) is told apart, and the
// longest gap less such pauses is kept too. The events the thread served within the longest gap
// are named too (the receiver's class and the event's type, the longest of them first): what the
// program did meanwhile. Main thread.

#include "MachinePauses.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QHash>
#include <QMetaEnum>
#include <QThread>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

namespace Bench {

// The main thread's events between two ticks of the watch: how long each kind took, counted
// from its delivery to the next event's (nested ones, served from inside a handler, are counted
// apart from it).
class EventTrace : public QObject {
public:
    explicit EventTrace(const QElapsedTimer &clock) : m_clock(clock)
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->installEventFilter(this);
        // Time the loop waits for events belongs to no event.
        if (auto *dispatcher = QAbstractEventDispatcher::instance())
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, [this] { close(); });
    }

    struct Kind {
        QByteArray name;
        qint64 ns = 0;
        int count = 0;
    };
    // Ends the current stretch; its events, the longest first.
    std::vector<Kind> take()
    {
        close();
        std::vector<Kind> kinds;
        for (auto it = m_kinds.cbegin(); it != m_kinds.cend(); ++it)
            kinds.push_back({it.key(), it->ns, it->count});
        std::sort(kinds.begin(), kinds.end(), [](const Kind &a, const Kind &b) { return a.ns > b.ns; });
        m_kinds.clear();
        return kinds;
    }

    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        if (QThread::currentThread() != thread() || !m_clock.isValid())
            return false;
        close();
        m_current = QByteArray(receiver->metaObject()->className()) + ':'
                    + QMetaEnum::fromType<QEvent::Type>().valueToKey(event->type());
        m_since = m_clock.nsecsElapsed();
        return false;
    }

private:
    void close()
    {
        if (m_current.isEmpty())
            return;
        Kind &kind = m_kinds[m_current];
        kind.ns += m_clock.nsecsElapsed() - m_since;
        ++kind.count;
        m_current.clear();
    }

    const QElapsedTimer &m_clock;
    QByteArray m_current;
    qint64 m_since = 0;
    QHash<QByteArray, Kind> m_kinds;
};

class StallWatch {
public:
    StallWatch() : m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC)), m_events(m_clock)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        MachinePauses::shared();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Sample now = sample();
            const Sample gap = between(m_last, now);
            std::vector<EventTrace::Kind> events = m_events.take();
            if (gap.at > m_longest.at) {
                m_longest = gap;
                m_longestEndedAt = now.at;
                m_longestEndedTime = QTime::currentTime();
                m_longestEvents = std::move(events);
            }
            m_longestOwn = std::max(m_longestOwn, gap.at - gap.paused);
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
        m_resetAt = MachinePauses::now();
        m_last = sample();
        m_longest = {};
        m_longestOwn = 0;
        m_longestEndedAt = 0;
        m_longestEndedTime = {};
        m_longestEvents.clear();
        m_events.take();
    }

    // The longest gap, split: how long the thread ran, how long it was ready but waited for a
    // CPU, and how long it slept (the split needs the kernel's schedstat: canSplit()); and how
    // much of it the whole machine was paused.
    struct Gap {
        double ms = 0;
        double ranMs = 0;
        double waitedMs = 0;
        double sleptMs = 0;
        double machinePausedMs = 0;
        // The longest gap of the stretch less the machine's pauses inside it (not always the same
        // gap): the program's own part of its stalls.
        double ownMs = 0;
    };
    // Counting the stall still under way, when the timer has not fired since.
    Gap longest() const
    {
        const Sample underWay = between(m_last, sample());
        const Sample gap = std::max(underWay, m_longest, [](const Sample &a, const Sample &b) { return a.at < b.at; });
        return {double(gap.at) / 1e6,      double(gap.running) / 1e6,
                double(gap.waiting) / 1e6, double(std::max<qint64>(0, gap.at - gap.running - gap.waiting)) / 1e6,
                double(gap.paused) / 1e6,  double(std::max(m_longestOwn, underWay.at - underWay.paused)) / 1e6};
    }
    double longestMs() const { return longest().ms; }
    // When this watch was last reset, on MachinePauses' clock.
    qint64 resetAt() const { return m_resetAt; }
    // When the longest stall ended: milliseconds since the last reset, and the time of day.
    double longestEndedAtMs() const { return double(m_longestEndedAt) / 1e6; }
    QTime longestEndedTime() const { return m_longestEndedTime; }
    bool canSplit() const { return m_schedstat >= 0; }
    // The events served within the longest gap that ended, the longest kinds first: "3.2 ms
    // QWidgetWindow:Expose (x1), 1.0 ms Receiver:MetaCall (x12)".
    QByteArray longestEvents(int kinds = 4) const
    {
        QByteArray text;
        for (size_t i = 0; i < m_longestEvents.size() && i < size_t(kinds); ++i) {
            const EventTrace::Kind &kind = m_longestEvents[i];
            text += (i ? ", " : "") + QByteArray::number(double(kind.ns) / 1e6, 'f', 1) + " ms " + kind.name + " (x"
                    + QByteArray::number(kind.count) + ")";
        }
        return text.isEmpty() ? QByteArrayLiteral("no event") : text;
    }

private:
    // The clock, with the thread's time on a CPU and waiting for one, in nanoseconds; `monotonic`
    // is the moment on MachinePauses' clock. A gap between two samples has the same fields, with
    // `paused` the machine's pauses inside it.
    struct Sample {
        qint64 at = 0;
        qint64 running = 0;
        qint64 waiting = 0;
        qint64 monotonic = 0;
        qint64 paused = 0;
    };

    static Sample between(const Sample &from, const Sample &to)
    {
        return {to.at - from.at, to.running - from.running, to.waiting - from.waiting, to.monotonic,
                MachinePauses::shared().pausedNs(from.monotonic, to.monotonic)};
    }

    Sample sample() const
    {
        Sample sample{m_clock.isValid() ? m_clock.nsecsElapsed() : 0};
        sample.monotonic = MachinePauses::now();
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
    qint64 m_longestOwn = 0;
    qint64 m_resetAt = MachinePauses::now();
    qint64 m_longestEndedAt = 0;
    QTime m_longestEndedTime;
    EventTrace m_events;
    std::vector<EventTrace::Kind> m_longestEvents;
};

} // namespace Bench
