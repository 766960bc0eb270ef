#pragma once
// The quick-paste panel's window: floats above the other windows, centred, and grows and shrinks
// with its list. One shared instance, made from the scene registry (storyboard "PBHUD") on the
// first toggle and kept for the life of the program. GUI thread.

#include <QWidget>

class PBHUDViewController;

class PBHUDWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;

    explicit PBHUDWindowController(QWidget *parent = nullptr);

    // The shortcut's action: shows the panel when it is hidden, hides it when it is shown.
    static void toggle();
    // The shared controller, when a toggle made it.
    static PBHUDWindowController *shared();

    PBHUDViewController *contentViewController() const { return m_content; }
    // Shows, raises, centres and activates the panel.
    void showAndActivate();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToContent();

    PBHUDViewController *m_content = nullptr;
};
