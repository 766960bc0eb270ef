#pragma once
// A borderless window with rounded corners that floats above other windows and is dragged by its
// background: the base of the shell's small hint windows. GUI thread.

#include <QColor>
#include <QPoint>
#include <QWidget>

#include <optional>

class RoundedPanelWindow : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanelWindow(double cornerRadius, QWidget *parent = nullptr);

    // Shows the window, raises it above the others and gives it the keyboard focus.
    void showWindow();
    void makeKeyAndOrderFront();
    // Centres the window on the screen under the pointer.
    void center();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double m_cornerRadius;
    std::optional<QPoint> m_dragOffset;
};
