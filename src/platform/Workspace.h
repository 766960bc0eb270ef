#pragma once
// The desktop's applications: which one is frontmost, which are running, and opening URLs,
// files and application icons.

#include <QIcon>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

struct RunningApplication {
    QString localizedName;    // the .desktop Name, else the window class, else the executable
    QString bundleIdentifier; // the .desktop file id ("org.gnome.TextEditor"), else the window class
    QString bundlePath;       // the .desktop file, else the executable
    QString executablePath;
    qint64 processIdentifier = 0;
    QString iconName; // theme icon name or file, from the .desktop file

    // "bundleIdentifier: localizedName", as the capture log writes it.
    QString description() const;
    bool operator==(const RunningApplication &other) const = default;
};

class Workspace {
public:
    virtual ~Workspace() = default;

    // The backend chosen at start-up (a fake until then). Any thread.
    static Workspace &shared();
    static void setShared(std::unique_ptr<Workspace> workspace); // main thread, at start-up

    // The application whose window is active; none without one. Any thread; no main-thread work.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;
    // Calls `changed` (on any thread) whenever the frontmost application may have changed, and
    // answers true; false when this backend cannot tell, and the caller has to look now and then.
    // Any thread; `changed` must only schedule work.
    virtual bool setFrontmostApplicationObserver(std::function<void()> changed)
    {
        (void)changed;
        return false;
    }
    // Gives the focus back to the window of another program that was active last, unless another
    // program's window has it already. False when this backend cannot (no window manager, no such
    // window known): the caller steps aside by hiding its windows instead. Main thread.
    virtual bool activateOtherApplication() { return false; }
    // Applications with windows, this program included. Any thread.
    virtual QList<RunningApplication> runningApplications() = 0;
    // This program's own identifier, compared with a source application's. Any thread.
    virtual QString ownBundleIdentifier() const = 0;

    // Main thread. False when nothing could open it.
    virtual bool openUrl(const QUrl &url) = 0;
    bool openFile(const QString &path) { return openUrl(QUrl::fromLocalFile(path)); }
    // An application's icon, by its bundle path or identifier; a generic icon when unknown. Main thread.
    virtual QIcon iconForApplication(const QString &bundlePathOrIdentifier) = 0;
    // The icon of a file's type. Main thread.
    virtual QIcon iconForFile(const QString &path) = 0;
};
