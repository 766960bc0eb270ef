#pragma once
// Peers for the tests against the real X server: xclip, xdotool and our own small peer program.

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace X11Test {

// Runs a program to its end while our event loop keeps answering the X server (so it can read
// what we own). Returns its standard output; `ok` tells whether it exited with 0 in time.
QByteArray run(const QString &program, const QStringList &arguments, const QByteArray &input = {}, bool *ok = nullptr,
               int timeoutMs = 10000);

// Another program takes the clipboard with these bytes under one target (xclip stays as owner).
bool copyWithXclip(const QByteArray &target, const QByteArray &data);
// What another program reads from the clipboard for a target.
QByteArray pasteWithXclip(const QByteArray &target, bool *ok = nullptr);

// The peer program (tests/x11/peer) in one of its modes, running until stopped.
class Peer {
public:
    explicit Peer(const QStringList &arguments);
    ~Peer();
    // Waits for a line of standard output that starts with `prefix`; returns the rest of it.
    QByteArray waitForLine(const QByteArray &prefix, int timeoutMs = 15000);
    // A line on its standard input.
    void writeLine(const QByteArray &line);
    qint64 processId() const { return m_process.processId(); }

private:
    QProcess m_process;
    QByteArray m_buffer;
    QList<quint32> m_ownedWindows; // from its "OWNED:" lines
};

} // namespace X11Test
