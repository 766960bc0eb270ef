// CPU time of the idle program: TaviPaste itself, with a history of 100,000 items, over 60 s in
// which nothing is copied. Run it inside xvfb-run with a window manager (openbox).

#include "support/BenchHistory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <unistd.h>

namespace {
// User and system CPU time of a process, in milliseconds.
double cpuMilliseconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name (which may hold blanks), from the state on: utime is the 12th.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments.at(1) == QStringLiteral("seed")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(arguments.at(2) + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(arguments.at(2) + QStringLiteral("/config")));
        Bench::seedHistory(100000, [](qint64 i) {
            return QStringLiteral("Copied text number %1 with some more words to make it the length of a usual copy").arg(i);
        });
        return 0;
    }
    constexpr int kSeconds = 60;
    QTemporaryDir home;
    QProcess::execute(arguments.first(), {QStringLiteral("seed"), home.path()});
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TAVI_EXECUTABLE), {});
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "TaviPaste did not start\n");
        return 1;
    }
    QThread::sleep(10); // start-up, the welcome window, the first saves
    const qint64 pid = program.processId();
    const double before = cpuMilliseconds(pid);
    QElapsedTimer clock;
    clock.start();
    QThread::sleep(kSeconds);
    const double used = cpuMilliseconds(pid) - before;
    const double seconds = clock.elapsed() / 1000.0;
    std::printf("idle with 100000 items: %.0f ms of CPU in %.0f s = %.2f ms per second; resident %.0f MB\n", used, seconds,
                used / seconds, Bench::residentMegabytes(pid));
    program.terminate();
    program.waitForFinished(10000);
    return 0;
}
