#pragma once
// The real TaviPaste as a user starts it, for end-to-end tests: a session of its own (XDG folders
// and a D-Bus session bus no other test shares) and the program's output kept for inspection.

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class TaviSession {
public:
    TaviSession();
    ~TaviSession();

    // What TaviPaste and the peers it meets are started with.
    QProcessEnvironment environment() const { return m_environment; }
    QString folder(const char *variable) const { return m_environment.value(QString::fromLatin1(variable)); }

    // The program's data, state, config and cache folders: which files hold the bytes.
    QStringList filesContaining(const QByteArray &bytes) const;
    // How many lines of the log files hold the text.
    int logLinesContaining(const QByteArray &text) const;
    // Waits until a log line holds the text.
    bool waitForLog(const QByteArray &text, int timeoutMs = 15000) const;
    // For a failing test: the log files and crash reports on standard error.
    void printLogs() const;

private:
    QTemporaryDir m_home;
    QProcess m_bus;
    QProcessEnvironment m_environment;
};

// One TaviPaste process; terminated (as the session ending would) when it goes.
class TaviProcess {
public:
    // `childSetUp` runs in the child before the program starts (a umask, say).
    explicit TaviProcess(const QProcessEnvironment &environment, std::function<void()> childSetUp = {});
    ~TaviProcess();

    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    // Ends it with SIGTERM; true when it quit in time with status 0.
    bool terminate();
    QProcess &process() { return m_process; }
    // All it wrote so far.
    QByteArray standardOutput();
    QByteArray standardError();

private:
    QProcess m_process;
    QByteArray m_output;
    QByteArray m_error;
};

// Runs a program to its end while the event loop keeps turning; true when it exited with 0.
bool runToEnd(const QString &program, const QStringList &arguments, int timeoutMs = 10000);
