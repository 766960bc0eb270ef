#pragma once
// Runs the GUI thread's events until a condition holds. Main thread.

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>

namespace Bench {

// Events until `condition` holds; false when it did not within `timeoutMs`.
inline bool processUntil(const std::function<bool()> &condition, qint64 timeoutMs = 30000)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!condition()) {
        if (deadline.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents();
    }
    return true;
}

} // namespace Bench
