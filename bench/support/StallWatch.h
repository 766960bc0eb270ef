#pragma once
// The longest interval in which the GUI thread did not return to its event loop: the longest gap
// between two ticks of a precise 1 ms timer, which only fires from the event loop. Main thread.

#include <QElapsedTimer>
#include <QTime>
#include <QTimer>

#include <algorithm>

namespace Bench {

class StallWatch {
public:
    StallWatch()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (now - m_lastTick > m_longest) {
                m_longest = now - m_lastTick;
                m_longestEndedAt = now;
                m_longestEndedTime = QTime::currentTime();
            }
            m_lastTick = now;
        });
        m_clock.start();
        m_timer.start(1);
    }

    void reset()
    {
        m_clock.restart();
        m_lastTick = 0;
        m_longest = 0;
        m_longestEndedAt = 0;
        m_longestEndedTime = {};
    }

    // Counting the stall still under way, when the timer has not fired since.
    double longestMs() const { return double(std::max(m_longest, m_clock.nsecsElapsed() - m_lastTick)) / 1e6; }
    // When the longest stall ended: milliseconds since the last reset, and the time of day.
    double longestEndedAtMs() const { return double(m_longestEndedAt) / 1e6; }
    QTime longestEndedTime() const { return m_longestEndedTime; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastTick = 0;
    qint64 m_longest = 0;
    qint64 m_longestEndedAt = 0;
    QTime m_longestEndedTime;
};

} // namespace Bench
