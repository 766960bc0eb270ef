#pragma once
// The color bar's window: frameless, always on top, never focused, a dock window on every
// desktop; its content is the MainViewController. One for the run, stored in the application
// delegate's mainWindowController. GUI thread.

#include <QWidget>

class MainViewController;
class PBCategoryManager;
class PBScreenMonitor;
class TaviPBManager;

class MainWindowController : public QWidget {
    Q_OBJECT
public:
    MainWindowController(PBCategoryManager &categories, TaviPBManager &history, PBScreenMonitor &monitor,
                         QWidget *parent = nullptr);
    ~MainWindowController() override;

    MainViewController *contentViewController() const { return m_content; }

    // The bar of the application delegate (null before it exists or without a delegate).
    static MainWindowController *shared();
    // Re-lays out the bar after its categories changed: size, place, reload. Nothing without a bar.
    static void relayoutColorBar();

    // Sizes and places the bar, then shows it and runs the content's appearance (screen, hide timer).
    void showBar();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void windowDidLoad();

    MainViewController *m_content = nullptr;
    bool m_appeared = false;
};
