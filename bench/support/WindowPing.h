#pragma once
// The GUI thread's stalls timed from outside the process: a separate client (tavi_window_ping)
// pings a window of the process over X and times each answer. Needs the xcb platform and a
// window of the process (mapped or not). Main thread.

#include <QProcess>

#include <cstdio>
#include <optional>

namespace Bench {

class WindowPing {
public:
    struct Report {
        double longestMs = 0;
        qint64 pings = 0;
    };

    ~WindowPing()
    {
        m_client.closeWriteChannel();
        if (!m_client.waitForFinished(2000))
            m_client.kill();
        m_client.waitForFinished(1000);
    }

    // Pings a window of process `pid` (the X window `window`, when given) every `intervalMs`;
    // false (and said on standard error) when the process had no such window within `timeoutMs`.
    bool start(qint64 pid, int timeoutMs, int intervalMs = 5, quint64 window = 0)
    {
        m_client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{QString::number(pid), QString::number(intervalMs)};
        if (window != 0)
            arguments.append(QString::number(window));
        m_client.start(QStringLiteral(TAVI_WINDOW_PING), arguments);
        if (m_client.waitForReadyRead(timeoutMs) && m_client.readLine().startsWith("window"))
            return true;
        std::fprintf(stderr, "process %lld had no window within %d ms\n", pid, timeoutMs);
        return false;
    }

    void reset() { command("reset\n"); }
    void pause() { command("pause\n"); }
    void resume() { command("resume\n"); }

    // The longest answer since the last reset; none when the client does not answer.
    std::optional<Report> report()
    {
        command("report\n");
        if (!m_client.waitForReadyRead(5000))
            return std::nullopt;
        const QList<QByteArray> fields = m_client.readLine().trimmed().split(' ');
        if (fields.size() != 4 || fields.at(0) != "longest")
            return std::nullopt;
        return Report{fields.at(1).toDouble(), fields.at(3).toLongLong()};
    }

private:
    void command(const char *line)
    {
        m_client.write(line);
        m_client.waitForBytesWritten(1000);
    }

    QProcess m_client;
};

} // namespace Bench
