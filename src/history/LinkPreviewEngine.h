#pragma once
// Whether the link preview's web engine may start in this process. Pages run only inside the
// engine's sandbox, and the engine ends the whole process where it cannot start one (as root, or
// without user namespaces) or cannot find its helper program; so each of these is checked before
// the engine is first started, and a run whose sandbox someone turned off
// (QTWEBENGINE_DISABLE_SANDBOX, --no-sandbox and the like) never starts it. GUI thread.

#include <QString>
#include <QStringList>

class LinkPreviewEngine {
public:
    enum class Obstacle {
        none,
        notBuiltIn,
        noDisplay,
        turnedOff,
        sandboxTurnedOff,
        root,
        noUserNamespaces,
        helperMissing
    };

    // What the engine would meet in a process.
    struct Conditions {
        bool builtIn = false;
        QString platformName;
        bool turnedOff = false;          // TAVI_NO_WEB_ENGINE
        bool sandboxVariableSet = false; // QTWEBENGINE_DISABLE_SANDBOX, whatever its value
        QStringList switches;            // QTWEBENGINE_CHROMIUM_FLAGS and the program's arguments
        bool root = false;
        bool userNamespaces = false;
        bool helperFound = false;
    };

    // This process's conditions; the user namespace check starts a short-lived child.
    static Conditions current();
    static Obstacle obstacle(const Conditions &conditions);
    // This process's obstacle, worked out on first use.
    static Obstacle obstacle();
    // The obstacle in a few words, for the log.
    static QString describe(Obstacle obstacle);
};
