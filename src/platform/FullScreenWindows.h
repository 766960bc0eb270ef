#pragma once
// Windows that fill a screen because the window manager shows them full screen, so that a window
// of ours can step aside from them or stay above them. The backend says when that may have
// changed; nobody polls. GUI thread.

#include <QObject>

#include <memory>

class QScreen;

class FullScreenWindows : public QObject {
    Q_OBJECT
public:
    // The backend chosen at start-up (a fake until then).
    static FullScreenWindows &shared();
    static void setShared(std::unique_ptr<FullScreenWindows> windows);

    // Whether a full-screen window is shown over most of the screen on the current desktop.
    virtual bool coversScreen(const QScreen *screen) const = 0;

Q_SIGNALS:
    // A window entered or left full screen, moved, or the windows were restacked.
    void changed();
};
