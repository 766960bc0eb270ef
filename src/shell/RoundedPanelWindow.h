#pragma once
// A borderless window with rounded corners that floats above other windows, is dragged by its
// background and closes on Escape: the base of the shell's small hint windows. GUI thread.

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include <optional>

class QLabel;

class RoundedPanelWindow : public QWidget {
    Q_OBJECT
public:
    explicit RoundedPanelWindow(double cornerRadius, QWidget *parent = nullptr);

    // Shows the window, raises it above the others and gives it the keyboard focus.
    void showWindow();
    void makeKeyAndOrderFront();
    // Centres the window on the screen under the pointer.
    void center();
    // Sizes the window to its content at this width (wider when its content needs more): wrapped
    // texts get the height they need at the present font, also after the font changes.
    void fitToWidth(int width);
    // Makes a word-wrapped title of the label: bold and a fifth larger than the window's font,
    // also after that font changes.
    void setTitleLabel(QLabel *label);

protected:
    void changeEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    double m_cornerRadius;
    int m_preferredWidth = 0;
    QPointer<QLabel> m_title;
    std::optional<QPoint> m_dragOffset;
};
