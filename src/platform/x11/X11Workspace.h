#pragma once
// The workspace over EWMH: the frontmost application is the owner of _NET_ACTIVE_WINDOW (or,
// without a window manager, of the clipboard), known by its process and window class and named
// after its .desktop file. Changes of the active window are watched through property changes on
// the root window, on a thread of its own, so nobody needs to poll it.

#include "platform/Workspace.h"
#include "platform/x11/XcbConnection.h"
#include "platform/x11/XcbEventLoop.h"

#include <QHash>

#include <atomic>
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

    bool setFrontmostApplicationObserver(std::function<void()> changed) override;
    bool activateOtherApplication() override;
    ~X11Workspace() override;

    // The application a window belongs to. Any thread.
    std::optional<RunningApplication> applicationForWindow(xcb_window_t window);
    // The application a copy made by this clipboard owner comes from: the one whose window was
    // active at the change, unless none was (no window manager, the desktop focused) or it was
    // this program's; then the owner's own (by window class, process, or else as an X client).
    // Never none. Any thread; ask while the owner still exists.
    RunningApplication applicationForClipboardOwner(xcb_window_t owner, xcb_window_t active);

private:
    X11Workspace(std::unique_ptr<XcbConnection> connection, std::unique_ptr<XcbConnection> watchConnection);
    RunningApplication describe(xcb_window_t window, qint64 pid);
    // The active window as the server has it now; none without a window manager. m_mutex held.
    xcb_window_t readActiveWindow();
    bool isDesktopWindow(xcb_window_t window);
    void activeWindowChanged();
    // Remembers the active window when it is another program's. Watcher thread or constructor.
    void noteActiveWindow(XcbConnection &connection);

    // Read once on the main thread: the application object's getters are not for other threads.
    const QString m_ownName;
    const QString m_ownIdentifier;
    std::mutex m_mutex; // one request sequence at a time on the connection
    std::unique_ptr<XcbConnection> m_connection;
    QHash<xcb_window_t, RunningApplication> m_cache;
    std::mutex m_observerMutex;
    std::function<void()> m_observer;
    std::atomic<xcb_window_t> m_lastOtherWindow{XCB_WINDOW_NONE};
    // Declared last: the watcher thread stops before the state above goes.
    std::unique_ptr<XcbConnection> m_watchConnection;
    std::unique_ptr<XcbEventLoop> m_watchLoop;
};
