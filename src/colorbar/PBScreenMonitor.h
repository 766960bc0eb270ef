#pragma once
// Decides on which screen the color bar lives, by the "colorBarScreenOption" setting: the screen
// the bar was first shown on, the screen of the last left-mouse release (in any program), or the
// screen picked in the preferences. Posts "activeScreenDidChange" (info: the new QScreen*) when
// the screen changes. A screen that is detached is never kept: the bar's own screen, else the
// primary one, takes its place. GUI thread.

#include "platform/MouseUpMonitor.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>

class QScreen;

class PBScreenMonitor : public QObject {
    Q_OBJECT
public:
    static PBScreenMonitor &shared();
    PBScreenMonitor();
    ~PBScreenMonitor() override;

    // The screen the bar uses: the selected one (else the first) under the specific option,
    // otherwise the stored one. Null without screens or before one was stored.
    QScreen *currentScreen() const;
    // Stores the screen (null is ignored when a screen is stored: a release over no screen keeps
    // the current one) and posts the change when the current screen differs from before.
    void setCurrentScreen(QScreen *screen);
    // Stores the first screen, in QGuiApplication::screens() order, that the frame intersects.
    void updateCurrentScreen(const QRect &windowFrame);

    // The two left-mouse-up monitors; both calls are idempotent.
    void startMonitoring();
    void stopMonitoring();
    bool isMonitoring() const { return m_localMonitor != 0 || m_globalMonitor != 0; }

    // The current screen when it holds the point, else the first screen that holds it.
    QScreen *screenUnderMouse(QPoint globalPosition) const;
    void handleMouseUp(QPoint globalPosition);

    // The screen the bar's window is on now; the first fallback for a detached screen.
    std::function<QScreen *()> barScreen;
    // A screen is being detached: the current one is replaced and the change posted.
    void screenRemoved(QScreen *screen);

private:
    QPointer<QScreen> m_currentScreen;
    MouseUpMonitor::Token m_localMonitor = 0;
    MouseUpMonitor::Token m_globalMonitor = 0;
};
