#pragma once
// TaviPasteHelper, started at login from its autostart entry: starts TaviPaste unless it runs
// already, then waits for TaviPaste's "killLauncher" and quits; it never waits longer than the
// timeout. No windows. Main thread.

#include "platform/DistributedNotificationCenter.h"

#include <QObject>
#include <QString>
#include <QTimer>

class AppDelegate : public QObject {
    Q_OBJECT
public:
    explicit AppDelegate(DistributedNotificationCenter &center, int timeoutMs, QObject *parent = nullptr);

    void applicationDidFinishLaunching();
    void launchMainApplicationIfNeeded();
    // Ends the event loop with the exit code; later calls do nothing.
    void terminate(int exitCode = 0);

    // TaviPaste's executable, from the helper's own place in the install layout (or beside it in
    // a build tree); empty when there is none.
    static QString mainExecutablePath(const QString &helperDirectory);
    bool isMainApplicationRunning();

private:
    DistributedNotificationCenter &m_center;
    QTimer m_timeout;
    bool m_terminating = false;
};
