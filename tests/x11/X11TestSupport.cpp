#include "X11TestSupport.h"

#include "support/TestEnvironment.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace X11Test {

QByteArray run(const QString &program, const QStringList &arguments, const QByteArray &input, bool *ok, int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    bool started = process.waitForStarted(5000);
    if (started) {
        if (!input.isEmpty())
            process.write(input);
        process.closeWriteChannel();
    }
    const bool finished = started && waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    if (ok)
        *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    return process.readAllStandardOutput();
}

bool copyWithXclip(const QByteArray &target, const QByteArray &data)
{
    bool ok = false;
    // xclip reads its input, forks an owner that stays, and its first process exits.
    run(QStringLiteral("xclip"),
        {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"), QString::fromLatin1(target),
         QStringLiteral("-i")},
        data, &ok);
    return ok;
}

QByteArray pasteWithXclip(const QByteArray &target, bool *ok)
{
    return run(QStringLiteral("xclip"),
               {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                QString::fromLatin1(target), QStringLiteral("-o")},
               {}, ok);
}

Peer::Peer(const QStringList &arguments)
{
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(QStringLiteral(TAVI_X11_PEER), arguments);
    m_process.waitForStarted(5000);
}

namespace {

// The window that owns the clipboard now, as the X server sees it.
xcb_window_t clipboardOwner(xcb_connection_t *connection)
{
    static constexpr char name[] = "CLIPBOARD";
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom)
        return XCB_WINDOW_NONE;
    xcb_get_selection_owner_reply_t *owner =
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
    const xcb_window_t window = owner ? owner->owner : xcb_window_t(XCB_WINDOW_NONE);
    std::free(owner);
    std::free(atom);
    return window;
}

} // namespace

Peer::~Peer()
{
    m_process.kill();
    m_process.waitForFinished(2000);
    // The server notices a killed client in its own time. Until it has, a clipboard the peer owned
    // changes hands later, under the next test's feet: wait until the peer no longer owns it.
    m_buffer += m_process.readAllStandardOutput();
    for (const QByteArray &line : m_buffer.split('\n')) {
        if (line.startsWith("OWNED:"))
            m_ownedWindows.append(line.mid(6).toUInt());
    }
    m_ownedWindows.removeAll(0u);
    if (m_ownedWindows.isEmpty())
        return;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    if (!xcb_connection_has_error(connection))
        waitUntil([&] { return !m_ownedWindows.contains(clipboardOwner(connection)); }, 5000);
    xcb_disconnect(connection);
}

void Peer::writeLine(const QByteArray &line)
{
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

QByteArray Peer::waitForLine(const QByteArray &prefix, int timeoutMs)
{
    QByteArray found;
    waitUntil(
        [&] {
            m_buffer += m_process.readAllStandardOutput();
            qsizetype start = 0;
            while (true) {
                const qsizetype end = m_buffer.indexOf('\n', start);
                if (end < 0)
                    break;
                const QByteArray line = m_buffer.mid(start, end - start);
                start = end + 1;
                if (line.startsWith("OWNED:"))
                    m_ownedWindows.append(line.mid(6).toUInt());
                if (line.startsWith(prefix)) {
                    found = line.mid(prefix.size());
                    m_buffer.remove(0, start);
                    return true;
                }
            }
            m_buffer.remove(0, start);
            return false;
        },
        timeoutMs);
    return found;
}

} // namespace X11Test
