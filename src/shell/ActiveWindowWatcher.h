#pragma once
// The desktop tells no one when a program stops being active: this watches the active window and
// takes the program that had it before as the one that was deactivated, into the caller's
// "last active application" (this program's own windows never count). The workspace says when the
// active window changes; only a workspace that cannot is looked at now and then. GUI thread.

#include "platform/Workspace.h"

#include <QObject>

#include <optional>

class QTimer;

class ActiveWindowWatcher : public QObject {
    Q_OBJECT
public:
    explicit ActiveWindowWatcher(std::optional<RunningApplication> &lastActiveApplication, QObject *parent = nullptr);
    ~ActiveWindowWatcher() override;

    // The program active before this one started counts as the last active one.
    void noteStartingApplication();
    void start();
    void stop();
    // One look at the active window; without change reports it runs twice a second.
    void poll();

private:
    std::optional<RunningApplication> &m_lastActiveApplication;
    std::optional<RunningApplication> m_lastSeen;
    QTimer *m_pollTimer = nullptr;
    bool m_watching = false; // the workspace reports changes of the active window
};
