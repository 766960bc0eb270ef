// CPU time of the idle program: TaviPaste itself, with a history of 100,000 items, over 60 s in
// which nothing is copied; its resident memory then; and the longest its GUI thread took to
// answer a window ping from outside over 10 s more. It runs with a private home and a private
// session bus, so another TaviPaste cannot take its place. Run it inside xvfb-run with a window
// manager (openbox).
//
//   bench_idle_cpu [items] [seconds]   (default 100000 60)

#include "support/BenchHistory.h"
#include "support/PrivateBus.h"
#include "support/WindowPing.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

// Waits `milliseconds`; false (and said) when the program quit meanwhile.
bool stillRunning(QProcess &program, int milliseconds)
{
    if (!program.waitForFinished(milliseconds))
        return program.state() == QProcess::Running;
    std::fprintf(stderr, "TaviPaste quit while idle (exit code %d): nothing measured\n", program.exitCode());
    return false;
}

int measure(const QString &home, qint64 items, int seconds)
{
    QProcess bus;
    const QString busAddress = Bench::startBus(bus);
    if (busAddress.isEmpty()) {
        std::fprintf(stderr, "could not start a private session bus (dbus-daemon)\n");
        return 1;
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
        environment.insert(QString::fromLatin1(name), home + QLatin1Char('/') + QString::fromLatin1(name));
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TAVI_MUTE_SOUNDS"), QStringLiteral("1"));
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    program.start(QStringLiteral(TAVI_EXECUTABLE), {});
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "TaviPaste did not start\n");
        return 1;
    }
    const qint64 pid = program.processId();
    // Ready: the program has its window.
    Bench::WindowPing ping;
    QElapsedTimer sinceStart;
    sinceStart.start();
    if (!ping.start(pid, 60000) || program.state() != QProcess::Running) {
        std::fprintf(stderr, "TaviPaste never became ready%s\n",
                     program.state() == QProcess::Running ? "" : " (it quit)");
        return 1;
    }
    const qint64 readyMs = sinceStart.elapsed();
    ping.pause();                                             // pings would wake the idle program
    if (!stillRunning(program, std::min(seconds, 10) * 1000)) // start-up's tail: the welcome window, the first saves
        return 1;
    const double before = cpuMilliseconds(pid);
    QElapsedTimer clock;
    clock.start();
    if (!stillRunning(program, seconds * 1000))
        return 1;
    const double used = cpuMilliseconds(pid) - before;
    const double elapsed = clock.elapsed() / 1000.0;
    const double resident = Bench::residentMegabytes(pid);
    ping.reset();
    ping.resume();
    const int pingSeconds = std::min(seconds, 10);
    if (!stillRunning(program, pingSeconds * 1000))
        return 1;
    const std::optional<Bench::WindowPing::Report> answers = ping.report();
    std::printf("idle with %lld items (its window made after %lld ms): %.0f ms of CPU in %.0f s = %.2f ms per second; "
                "resident %.0f MB\n",
                static_cast<long long>(items), static_cast<long long>(readyMs), used, elapsed, used / elapsed,
                resident);
    if (!answers || answers->pings == 0)
        std::printf("idle: the window answered NO ping over %d s: no stall measured from outside\n", pingSeconds);
    else
        std::printf("idle: longest answer to a window ping from outside over %d s: %.1f ms (%lld pings)\n", pingSeconds,
                    answers->longestMs, static_cast<long long>(answers->pings));
    program.terminate();
    program.waitForFinished(10000);
    bus.terminate();
    bus.waitForFinished(5000);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments.at(1) == QStringLiteral("seed")) {
        for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            qputenv(name, QFile::encodeName(arguments.at(3) + QLatin1Char('/') + QString::fromLatin1(name)));
        Bench::seedHistory(arguments.at(2).toLongLong(), [](qint64 i) {
            return QStringLiteral("Copied text number %1 with some more words to make it the length of a usual copy")
                .arg(i);
        });
        return 0;
    }
    const qint64 items = arguments.size() > 1 ? arguments.at(1).toLongLong() : 100000;
    const int seconds = arguments.size() > 2 ? arguments.at(2).toInt() : 60;
    if (items <= 0 || seconds <= 0) {
        std::fprintf(stderr, "nothing to measure: %lld items over %d s\n", static_cast<long long>(items), seconds);
        return 1;
    }
    QTemporaryDir home;
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        QDir().mkpath(home.path() + QLatin1Char('/') + QString::fromLatin1(name));
    Bench::makeRuntimeFolder(home.path() + QStringLiteral("/XDG_RUNTIME_DIR"));
    if (QProcess::execute(arguments.first(), {QStringLiteral("seed"), QString::number(items), home.path()}) != 0) {
        std::fprintf(stderr, "seeding the history failed\n");
        return 1;
    }
    return measure(home.path(), items, seconds);
}
