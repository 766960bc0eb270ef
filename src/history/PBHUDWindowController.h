#pragma once
// The quick-paste panel's window: floats above the other windows, centred on the screen with the
// pointer, and grows and shrinks with its list (staying centred). One shared instance, made from
// the scene registry (storyboard "PBHUD") ahead of time once the program has started (prepare())
// or else on the first toggle, and kept for the life of the program. GUI thread.

#include <QPointer>
#include <QWidget>

class PBHUDViewController;
class QScreen;
class TaviPBManager;

class PBHUDWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;

    // Over the shared history, or over the given one.
    explicit PBHUDWindowController(QWidget *parent = nullptr);
    explicit PBHUDWindowController(TaviPBManager &manager, QWidget *parent = nullptr);

    // The shortcut's action: shows the panel when it is hidden, hides it when it is shown.
    static void toggle();
    // The shared controller, when a toggle or prepare() made it.
    static PBHUDWindowController *shared();
    // Builds the shared panel ahead of its first opening, a piece per turn of the event loop so
    // that none holds the loop up for long: the style's icons, the widgets, the native window,
    // their polish and a first drawing off screen. A toggle meanwhile finishes it at once. Does
    // nothing when it is built or being built.
    static void prepare();
    // Whether the shared panel is built, up to its first drawing.
    static bool isPrepared();

    PBHUDViewController *contentViewController() const { return m_content; }
    // Shows, raises, centres on the pointer's screen and activates the panel.
    void showAndActivate();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void fitToContent();
    void centerOnScreen();

    PBHUDViewController *m_content = nullptr;
    // The screen the panel opened on.
    QPointer<QScreen> m_screen;
};
