#pragma once
// The one-time window that introduces searching in the quick-paste panel, shown once the user
// has copied a few times. Every owner shares the one persisted "shown" flag. Made from the scene
// registry (storyboard "Whatsnew"). GUI thread.

#include "shell/RoundedPanelWindow.h"

#include <QPointer>

class QLabel;
class QPushButton;

class SearchHUDIntroWindowController : public RoundedPanelWindow {
    Q_OBJECT
public:
    static constexpr int kMinimumCopies = 3;

    explicit SearchHUDIntroWindowController(QWidget *parent = nullptr);

    static constexpr int kPreferredWidth = 420;

    // Shows the tip (on the main queue) when the user has copied often enough and it was never
    // shown. While the window given to waitWhileShown() shows, the tip waits until it has closed.
    void showIfNeeded();
    // Another onboarding window (the welcome window) that the tip never opens over.
    void waitWhileShown(QWidget *window);
    bool isWaiting() const { return m_waiting; }
    // Fills the text from the settings of now: the panel's hot key and what Enter does with
    // quick paste on or off.
    void updateMessage();

    QLabel *messageLabel = nullptr;
    QPushButton *okBtn = nullptr;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isHeldBack() const;
    void present();

    QPointer<QWidget> m_heldBackBy;
    bool m_waiting = false;
};
