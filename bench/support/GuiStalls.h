#pragma once
// The GUI thread's longest stall over a stretch of a benchmark, timed both inside the process
// (the longest the event loop did not run: StallWatch) and from outside it (a client pinging a
// window of the process over X: WindowPing). The outside figure needs the xcb platform; the pings
// go to the window given, or else to a window of the process's own, made but never shown, so it
// moves no focus and needs no other window to exist. Main thread, once the QApplication exists.

#include "StallWatch.h"
#include "WindowPing.h"

#include "platform/x11/X11WindowPing.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <memory>
#include <optional>

namespace Bench {

class GuiStalls {
public:
    // On the xcb platform, starts the outside client (said on standard error when it found no
    // window to ping). The pings go to `pinged`'s window when given (made now when it has none).
    explicit GuiStalls(QWidget *pinged = nullptr)
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            return;
        X11WindowPing::install();
        if (pinged) {
            m_pinged = pinged->window()->winId();
        } else {
            m_ownWindow = std::make_unique<QWindow>();
            m_ownWindow->resize(1, 1);
            m_ownWindow->create();
            m_pinged = m_ownWindow->winId();
        }
        // The window and its properties reach the X server with the next events served.
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
        m_ping.emplace();
        if (!m_ping->start(QCoreApplication::applicationPid(), 10000, 5, m_pinged)) {
            m_ping.reset();
            return;
        }
        // A stretch may be shorter than a ping's round trip: whether the window answers at all
        // is seen here, once.
        QElapsedTimer waited;
        waited.start();
        while (!m_answering && waited.elapsed() < 5000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            const std::optional<WindowPing::Report> report = m_ping->report();
            m_answering = report && report->pings > 0;
        }
        if (!m_answering)
            std::fprintf(stderr, "the window answered no ping within 5 s\n");
    }

    // Whether the process runs on an X server, where the stall is also timed from outside.
    bool onX() const { return m_pinged != 0; }

    // Starts a new stretch, inside and outside.
    void reset()
    {
        m_inside.reset();
        if (m_ping)
            m_ping->reset();
    }

    double insideMs() const { return m_inside.longestMs(); }
    const StallWatch &inside() const { return m_inside; }

    // The longest answer to a ping since the last reset (a ping still unanswered counts with its
    // age); none off X, or when the window does not answer pings.
    std::optional<WindowPing::Report> outside() { return m_ping && m_answering ? m_ping->report() : std::nullopt; }

    // Both figures of the stretch since the last reset, as a benchmark prints them: "longest GUI
    // stall 3.1 ms inside (ran 2.5, waited 0.2, slept 0.4), 4.0 ms from outside (812 pings); 3.1 ms
    // less the machine's pauses; the machine did not pause; served in the longest: 2.9 ms
    // QWidgetWindow:Paint (x1)". A pause of the whole machine inside the longest stall is named in
    // its split.
    // `failed` is set when the process is on X but its window does not answer pings: the outside
    // figure is missing, not small.
    QByteArray describe(bool *failed = nullptr)
    {
        const StallWatch::Gap gap = m_inside.longest();
        QByteArray text = "longest GUI stall " + QByteArray::number(gap.ms, 'f', 1) + " ms inside";
        if (m_inside.canSplit())
            text += " (ran " + QByteArray::number(gap.ranMs, 'f', 1) + ", waited "
                    + QByteArray::number(gap.waitedMs, 'f', 1) + ", slept " + QByteArray::number(gap.sleptMs, 'f', 1)
                    + (gap.machinePausedMs > 0
                           ? "; the machine paused " + QByteArray::number(gap.machinePausedMs, 'f', 1) + " of it"
                           : QByteArray())
                    + ")";
        text += ", ";
        const std::optional<WindowPing::Report> answers = outside();
        if (answers)
            text += QByteArray::number(answers->longestMs, 'f', 1) + " ms from outside ("
                    + QByteArray::number(answers->pings) + " pings)";
        else if (onX())
            text += "NOT timed from outside (the window answers no ping)";
        else
            text += "not timed from outside (not on an X server)";
        text += "; " + QByteArray::number(gap.ownMs, 'f', 1) + " ms less the machine's pauses; "
                + MachinePauses::shared().describeSince(m_inside.resetAt())
                + "; served in the longest: " + m_inside.longestEvents();
        if (failed && onX() && !answers)
            *failed = true;
        return text;
    }

private:
    StallWatch m_inside;
    std::unique_ptr<QWindow> m_ownWindow;
    quint64 m_pinged = 0;
    std::optional<WindowPing> m_ping;
    bool m_answering = false;
};

} // namespace Bench
