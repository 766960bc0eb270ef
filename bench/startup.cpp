// Start-up of the real program on a seeded history (1,000,000 text items, or the count given as
// the first argument): the time from starting TaviPaste to its "TaviPaste is running" log line,
// its resident memory 2 s later, where that memory lies (heap and other anonymous pages, shared
// libraries, the store's files, other files), and how many shared libraries it has mapped then.
// It runs on a private session bus. Each start is measured on its own (five of them, the first on a history just written; two with
// TAVI_BENCH_QUICK=1). Run it inside xvfb-run with a window manager (openbox); exits non-zero if
// TaviPaste quits or never gets ready.

#include "support/BenchHistory.h"
#include "support/PrivateBus.h"

#include "platform/Defaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kStarts = 5;
constexpr int kReadyTimeoutMs = 60000;
constexpr int kSettleMs = 2000;
const QByteArray kReadyLine = "TaviPaste is running";

// The shared libraries a process has mapped, each counted once.
int mappedLibraries(qint64 pid)
{
    QFile maps(QStringLiteral("/proc/%1/maps").arg(pid));
    if (!maps.open(QIODevice::ReadOnly))
        return -1;
    QSet<QByteArray> libraries;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        const qsizetype slash = line.indexOf('/');
        if (slash < 0)
            continue;
        const QByteArray path = line.mid(slash).trimmed();
        const QByteArray name = path.mid(path.lastIndexOf('/') + 1);
        if (name.endsWith(".so") || name.contains(".so."))
            libraries.insert(path);
    }
    return int(libraries.size());
}

// Resident memory by what it maps, in MB, from /proc/<pid>/smaps.
struct Residence {
    double anonymous = 0; // the heap, thread stacks, other anonymous maps
    double libraries = 0;
    double store = 0;      // the history's files (the store, its log and shared memory)
    double otherFiles = 0; // fonts, icon and locale caches, the program itself
};

Residence residence(qint64 pid, const QString &dataHome)
{
    Residence found;
    QFile smaps(QStringLiteral("/proc/%1/smaps").arg(pid));
    if (!smaps.open(QIODevice::ReadOnly))
        return found;
    const QByteArray storeFolder = QFile::encodeName(dataHome);
    double *current = nullptr;
    for (const QByteArray &line : smaps.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.isEmpty() || fields.first().isEmpty())
            continue;
        if (!fields.first().endsWith(':')) { // a mapping's first line: range perms offset dev inode [path]
            const QByteArray path = fields.size() > 5 ? fields.at(5) : QByteArray();
            if (path.isEmpty() || path.startsWith('['))
                current = &found.anonymous;
            else if (path.startsWith(storeFolder))
                current = &found.store;
            else if (path.endsWith(".so") || path.contains(".so."))
                current = &found.libraries;
            else
                current = &found.otherFiles;
        } else if (fields.first() == "Rss:" && current && fields.size() > 1) {
            *current += fields.at(1).toDouble() / 1024.0;
        }
    }
    return found;
}

struct Start {
    double readyMs = -1;
    double residentMb = 0;
    Residence residence;
    int libraries = 0;
};

// One start, stopped again once measured; nullopt with the reason told when it never got ready.
std::optional<Start> measureStart(const QProcessEnvironment &environment)
{
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::SeparateChannels);
    program.setReadChannel(QProcess::StandardError); // where the log line comes, and what waitForReadyRead waits on
    QElapsedTimer clock;
    clock.start();
    program.start(QStringLiteral(TAVI_EXECUTABLE), {});
    if (!program.waitForStarted(10000)) {
        std::fprintf(stderr, "TaviPaste did not start\n");
        return std::nullopt;
    }
    QByteArray output;
    Start start;
    while (start.readyMs < 0) {
        if (program.state() == QProcess::NotRunning) {
            std::fprintf(stderr, "TaviPaste quit before it was ready (exit code %d): another one may be running\n",
                         program.exitCode());
            return std::nullopt;
        }
        if (clock.elapsed() > kReadyTimeoutMs) {
            std::fprintf(stderr, "TaviPaste was not ready within %d s\n", kReadyTimeoutMs / 1000);
            program.kill();
            program.waitForFinished(5000);
            return std::nullopt;
        }
        program.waitForReadyRead(100);
        output += program.readAllStandardError();
        program.readAllStandardOutput();
        if (output.contains(kReadyLine))
            start.readyMs = clock.nsecsElapsed() / 1e6;
    }
    // Memory and libraries once the first things after start-up (the bar, the first reads) are done.
    QThread::msleep(kSettleMs);
    if (program.state() == QProcess::NotRunning) {
        std::fprintf(stderr, "TaviPaste quit within %d s of being ready\n", kSettleMs / 1000);
        return std::nullopt;
    }
    start.residentMb = Bench::residentMegabytes(program.processId());
    start.residence = residence(program.processId(), environment.value(QStringLiteral("XDG_DATA_HOME")));
    start.libraries = mappedLibraries(program.processId());
    program.terminate();
    if (!program.waitForFinished(15000)) {
        program.kill();
        program.waitForFinished(5000);
    }
    return start;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments.at(1) == QStringLiteral("seed")) {
        qputenv("XDG_DATA_HOME", QFile::encodeName(arguments.at(2) + QStringLiteral("/data")));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(arguments.at(2) + QStringLiteral("/config")));
        Bench::seedHistory(arguments.at(3).toLongLong(), [](qint64 i) {
            return QStringLiteral("Copied text number %1 with some more words to make it the length of a usual copy")
                .arg(i);
        });
        // A user who has seen the welcome window and the note on the menu: neither opens at start.
        QDir().mkpath(arguments.at(2) + QStringLiteral("/config/TaviPaste"));
        Defaults(arguments.at(2) + QStringLiteral("/config/TaviPaste/defaults.json"))
            .setValues({{QStringLiteral("alreadyShowTutorial"), true}, {QStringLiteral("noTrayMenuPlacesTold"), true}});
        return 0;
    }
    const qint64 items = arguments.size() > 1 ? arguments.at(1).toLongLong() : 1000000;
    if (items < 1) {
        std::fprintf(stderr, "usage: bench_startup [item count]\n");
        return 2;
    }
    QTemporaryDir home;
    if (QProcess::execute(arguments.first(), {QStringLiteral("seed"), home.path(), QString::number(items)}) != 0) {
        std::fprintf(stderr, "The history could not be seeded\n");
        return 1;
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path() + QStringLiteral("/data"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path() + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.path() + QStringLiteral("/state"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), home.path() + QStringLiteral("/cache"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                       Bench::makeRuntimeFolder(home.path() + QStringLiteral("/runtime")));
    QProcess bus;
    const QString busAddress = Bench::startBus(bus);
    if (busAddress.isEmpty()) {
        std::fprintf(stderr, "could not start a private session bus (dbus-daemon)\n");
        return 1;
    }
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), busAddress);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("TAVI_LOG_STDERR"), QStringLiteral("1"));

    QList<double> readyTimes;
    const int starts = qEnvironmentVariableIntValue("TAVI_BENCH_QUICK") == 1 ? 2 : kStarts;
    for (int i = 0; i < starts; ++i) {
        const std::optional<Start> start = measureStart(environment);
        if (!start)
            return 1;
        readyTimes.append(start->readyMs);
        std::printf(
            "start %d with %lld items: ready in %.0f ms; 2 s later resident %.0f MB, %d shared libraries mapped\n",
            i + 1, static_cast<long long>(items), start->readyMs, start->residentMb, start->libraries);
        const Residence &where = start->residence;
        std::printf("  resident: %.1f MB heap and anonymous, %.1f MB shared libraries, %.1f MB the store's files, "
                    "%.1f MB other files\n",
                    where.anonymous, where.libraries, where.store, where.otherFiles);
        std::fflush(stdout);
    }
    bus.terminate();
    bus.waitForFinished(5000);
    std::sort(readyTimes.begin(), readyTimes.end());
    std::printf("start-up with %lld items: median ready in %.0f ms (fastest %.0f, slowest %.0f)\n",
                static_cast<long long>(items), readyTimes.at(starts / 2), readyTimes.first(), readyTimes.last());
    return 0;
}
