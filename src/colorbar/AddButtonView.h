#pragma once
// The add button below the color bar's rows; also the handle the bar is dragged by along its
// edge, the top it is left at remembered for its screen. It hands its presses, moves, releases and
// menu to the bar. GUI thread.

#include <QWidget>

class MainViewController;
class PBScreenMonitor;

class AddButtonView : public QWidget {
public:
    AddButtonView(MainViewController &owner, PBScreenMonitor &monitor);

    bool isPressed() const { return m_pressed; }
    bool isDraggingBar() const { return m_draggingBar; }
    void press();
    // Moves the bar with the pointer once the pointer has left the button's place.
    void dragTo(const QPoint &globalPosition);
    // Ends a press; true when it was a click: released on the button, the bar not moved.
    bool release(const QPoint &globalPosition);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void moveBarTo(int top);

    MainViewController &m_owner;
    PBScreenMonitor &m_monitor;
    bool m_pressed = false;
    bool m_draggingBar = false;
    int m_startOffset = 0;
    int m_dragStartOriginY = 0;
};
