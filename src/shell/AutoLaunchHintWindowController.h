#pragma once
// The window that offers launch at login when the user quits: quit (the default, which changes no
// setting), start at login and quit, cancel the quit, or tick the box to be asked no more. Every
// way out but Cancel and Escape, closing the window included, quits through the application's
// normal shutdown. GUI thread.

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
    // Hides the window; TaviPaste keeps running.
    void cancelQuitAction();
    void windowWillClose();

    QCheckBox *noPromptBtn = nullptr;
    QPushButton *cancelBtn = nullptr;
    QPushButton *autoLaunchBtn = nullptr;
    QPushButton *cancelQuitBtn = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    AppDelegate &m_delegate;
};
