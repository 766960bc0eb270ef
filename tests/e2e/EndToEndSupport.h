#pragma once
// What the end-to-end tests share: running programs to their end, programs that run alongside
// the test with their output read line by line, xclip and xdotool as the user's hands, and the
// logs of the program under test.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include "TaviSession.h"

#include <memory>
#include <optional>

namespace EndToEnd {

bool hasProgram(const char *name);
// Runs a program to its end (killed after the timeout); true when it exited with 0.
bool run(const QString &program, const QStringList &arguments, const QByteArray &input = {}, int timeoutMs = 5000);
bool xdotool(const QStringList &arguments);
// Standard output of xdotool, trimmed; empty when it failed.
QByteArray xdotoolOutput(const QStringList &arguments);
// Another program owns the clipboard with the text until it is stopped (or loses it).
std::unique_ptr<QProcess> copyWithXclip(const QByteArray &text);
void stop(QProcess &process);
// Pumps the event loop for a while: only for giving another program time to react.
void pause(int ms);

// The session's own XDG folders, runtime folder and session bus, the xcb platform, muted sounds
// and no welcome window.
QProcessEnvironment isolatedEnvironment(const TaviSession &session);
// The test's own environment on the xcb platform: for peer programs.
QProcessEnvironment xcbEnvironment();
// Stores settings where TaviPaste run with the environment reads them.
void writeDefaults(const QProcessEnvironment &environment, const QVariantMap &values);

// A program running while it lives; stopped (SIGTERM, then SIGKILL) when destroyed.
class Child {
public:
    Child(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);
    ~Child();
    // The rest of the last line of standard output that starts with the prefix, once one arrives.
    std::optional<QByteArray> waitForLine(const QByteArray &prefix, int timeoutMs = 15000);
    // Waits until the latest line with the prefix equals the value.
    bool waitForValue(const QByteArray &prefix, const QByteArray &value, int timeoutMs = 15000);
    QByteArray lastValue(const QByteArray &prefix);
    bool waitForExit(int timeoutMs);
    QProcess &process() { return m_process; }

private:
    void readOutput();
    QList<QByteArray> completeLines() const;

    QProcess m_process;
    QByteArray m_buffer;
};

// The number of items in the history a program run with the data folder saved.
qint64 storedItems(const QString &dataHome);

// Every log file under the folder, searched or printed (on a failure).
bool logContains(const QString &stateHome, const QByteArray &text);
int logCount(const QString &stateHome, const QByteArray &text);
// The log files and crash reports under the state folder, on standard error.
void printLogs(const QString &stateHome);
// The last lines of the newest log file under the folder, the last one last.
QList<QByteArray> lastLogLines(const QString &stateHome, int count);
// What a sanitizer or the C library said about a fault in a program's standard error; empty when
// nothing.
QByteArray faultReport(const QByteArray &standardError);

// trayer, an XEmbed tray at the top right of the screen; it grows as icons dock into it.
class Tray {
public:
    Tray();
    ~Tray();
    bool isUp() const { return !m_window.isEmpty(); }
    QRect geometry() const;
    // An icon has docked once the tray is wider than its empty self.
    bool waitForIcon(int timeoutMs = 10000) const;
    bool clickIcon(int button = 1) const;

private:
    QProcess m_process;
    QByteArray m_window;
};

bool isMenuShown();
// Opens the tray menu with a left click and waits until it shows.
bool openMenu(const Tray &tray);

} // namespace EndToEnd
