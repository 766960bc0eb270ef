#pragma once
// The window that offers launch at login when the user quits: quit, start at login and quit, or
// tick the box to be asked no more. Every way out, closing the window included, quits through
// the application's normal shutdown. GUI thread.

#include <QWidget>

class AppDelegate;
class QCheckBox;
class QPushButton;

class AutoLaunchHintWindowController : public QWidget {
    Q_OBJECT
public:
    // Delay between turning launch at login on and quitting.
    static constexpr int kQuitDelayMs = 200;

    explicit AutoLaunchHintWindowController(AppDelegate &delegate, QWidget *parent = nullptr);

    // Shows the window in front, centred, and gives it the focus.
    void present();

    void notPromptBtnAction(bool checked);
    void cancelBtnAction();
    void autoLaunchBtnAction();
    void windowWillClose();

    QCheckBox *noPromptBtn = nullptr;
    QPushButton *cancelBtn = nullptr;
    QPushButton *autoLaunchBtn = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    AppDelegate &m_delegate;
};
