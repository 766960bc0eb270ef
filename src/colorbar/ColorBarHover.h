#pragma once
// When the color bar shows: the auto-hide timer, the pointer over the bar (the row whose tab it
// is on opens, the others close; a widened bar narrows again after a delay), the hidden bar's
// watch for the pointer over its place, and full-screen windows, which the bar stays above or
// steps aside for. GUI thread.

#include <QPoint>

#include <functional>
#include <vector>

class CategoryCellView;
class ColorBarLayout;
class MainViewController;
class QEvent;
class QObject;
class QTimer;
class TaviSettings;
class QWidget;

class ColorBarHover {
public:
    // `pointerLeft` runs each time the pointer leaves the bar, before the hide timer is armed.
    ColorBarHover(MainViewController &bar, ColorBarLayout &layout, const std::vector<CategoryCellView *> &rows,
                  TaviSettings &settings, std::function<void()> pointerLeft);
    ~ColorBarHover();

    // --- Auto-hide
    void scheduleHideTimer();
    void stopHideTimer();
    bool isHideTimerArmed() const;
    int hideTimerInterval() const;
    void collapsePanel();
    // Shows the bar at its place (placed before it is shown).
    void showPanel();
    void toggleSideBarPanel();
    bool panelIsHidden() const { return m_panelIsHidden; }

    // --- Full-screen windows
    void followFullScreenWindows();
    bool hasSteppedAside() const { return m_steppedAside; }

    // --- The pointer
    void barMouseEntered();
    void barMouseExited();
    bool isPointerInside() const { return m_pointerInside; }
    void scheduleCollapseTimer();
    void stopCollapseTimer();
    bool isCollapseTimerArmed() const;
    // Whether the hidden bar watches for the pointer over its place (by moves, else by polling).
    void watchForPointer(bool watch);
    bool isWatchingForPointer() const;
    bool isPollingForPointer() const;
    // Opens the row whose tab is at the pointer's place on the screen and closes the others; tells
    // the bar whether the pointer is on it. Places are read against where the bar is now: what the
    // window system reports of the pointer can be relative to where the bar was before it widened
    // or narrowed, or fold a leave and an enter into one. A pressed row or a drag keeps its state.
    void followPointer(const QPoint &globalPosition);
    // The bar window's own pointer events (enter, leave, moves), seen before the widgets see them.
    void windowEvent(QObject *watched, QEvent *event);
    void watchBarWindow();

private:
    QWidget *barWindow() const;
    // Shows the bar's window unless it stepped aside for a full-screen window.
    void showBarWindow();
    void pointerMoved(const QPoint &globalPosition);

    MainViewController &m_bar;
    ColorBarLayout &m_layout;
    const std::vector<CategoryCellView *> &m_rows;
    TaviSettings &m_settings;
    std::function<void()> m_pointerLeft;
    QTimer *m_hideTimer = nullptr;
    QTimer *m_collapseTimer = nullptr;
    QTimer *m_pointerPoll = nullptr;
    quint64 m_pointerMovedMonitor = 0;
    bool m_panelIsHidden = false;
    bool m_pointerInside = false;
    bool m_steppedAside = false;
};
