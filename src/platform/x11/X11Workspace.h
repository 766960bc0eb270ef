#pragma once
// The workspace over EWMH: the frontmost application is the owner of _NET_ACTIVE_WINDOW (or,
// without a window manager, of the clipboard), known by its process and window class and named
// after its .desktop file.

#include "platform/Workspace.h"
#include "platform/x11/XcbConnection.h"

#include <QHash>

#include <mutex>

class X11Workspace : public Workspace {
public:
    // None without an X server.
    static std::unique_ptr<X11Workspace> create();

    std::optional<RunningApplication> frontmostApplication() override;
    QList<RunningApplication> runningApplications() override;
    QString ownBundleIdentifier() const override;
    bool openUrl(const QUrl &url) override;
    QIcon iconForApplication(const QString &bundlePathOrIdentifier) override;
    QIcon iconForFile(const QString &path) override;

    // The application a window belongs to. Any thread.
    std::optional<RunningApplication> applicationForWindow(xcb_window_t window);

private:
    explicit X11Workspace(std::unique_ptr<XcbConnection> connection);
    RunningApplication describe(xcb_window_t window, qint64 pid);

    // Read once on the main thread: the application object's getters are not for other threads.
    const QString m_ownName;
    const QString m_ownIdentifier;
    std::mutex m_mutex; // one request sequence at a time on the connection
    std::unique_ptr<XcbConnection> m_connection;
    QHash<xcb_window_t, RunningApplication> m_cache;
};
