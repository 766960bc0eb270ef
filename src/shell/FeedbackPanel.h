#pragma once
// The small panel that acknowledges a copy or a paste. The window comes from the nib
// "HUDWindowController" of the scene registry; the shell fills its two labels and shows it.
// The panel never takes the keyboard focus. GUI thread.

class QLabel;
class QWidget;

class FeedbackPanel {
public:
    virtual ~FeedbackPanel() = default;

    virtual QLabel *label() const = 0;
    virtual QLabel *itemsCountLabel() const = 0;
    virtual QWidget *window() = 0;
    // Shows the panel without activating it and closes it again 1 s later.
    virtual void showWindow() = 0;
};
