// Capture on a real X server with the whole program running (the shell, its reactions, the saves):
//   burst  200 copies at 20 a second by another program (xclip): how many are stored, how many
//          with their application, how many were lost and counted, and how soon each is announced
//          after xclip has copied it;
//   large  on a history of 1,000,000 text items, with the history list open, a 10 MB PNG, a 20 MB
//          text and a 50 MB text copied by another program: the longest stall of the GUI thread
//          until each is stored and saved, and the resident memory before, after and 30 s later;
//          the store's size on disk (with its write-ahead log) once idle;
//   restart the resident memory of a fresh start on that history, and on an empty one; on the
//          history with the large copies, how long the list's first page (which holds them) takes
//          to read, first and again, beside a page further down that holds none.
// The GUI thread's stalls are timed inside (its event loop's timer) and from outside (a separate
// client pinging the color bar's window); the longest is split into the time the thread ran and
// the time it waited for a CPU, so a loaded machine's share is told apart from the program's. A
// copy that is not stored, or burst copies that are all lost, exit with 1. Run it inside xvfb-run
// with a window manager (openbox) and xclip.
//
//   bench_capture_x11 [small] [items]   (small: 20 burst copies; a 1 MB PNG, 2 MB and 5 MB texts on
//                                        1,000 items; items: the size of the large copies' history)

#include "capture/TaviPBManager.h"
#include "core/NotificationNames.h"
#include "core/store/CoreDataStack.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "platform/Memory.h"
#include "platform/NotificationCenter.h"
#include "platform/PlatformBackends.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "support/BenchHistory.h"
#include "support/StallWatch.h"
#include "support/WindowPing.h"
#include "colorbar/ColorBarScenes.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Runs the event loop until the condition holds (checked every 2 ms) or the time is up. The GUI
// thread sleeps between events, as in the program: a loop that never sleeps is a CPU hog that a
// busy machine's scheduler keeps waiting, which would be measured as the program's stall.
// TAVI_BENCH_BUSY_LOOP=1 spins as earlier versions of this benchmark did, for comparison.
template <typename Condition>
bool spinUntil(Condition condition, int timeoutMs)
{
    if (condition())
        return true;
    if (qEnvironmentVariableIsSet("TAVI_BENCH_BUSY_LOOP")) {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    bool met = false;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        met = condition();
        if (met || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(2);
    loop.exec();
    return met;
}

void spin(int milliseconds)
{
    spinUntil([] { return false; }, milliseconds);
}

// The longest gap between two turns of the GUI thread's event loop, with how much of it the
// thread ran and how much it was ready but waited for a CPU (the kernel's schedstat of the thread).
class StallSplit {
public:
    struct Gap {
        double ms = 0;
        double runningMs = 0;
        double waitingMs = 0;
    };

    StallSplit() : m_schedstat(::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC))
    {
        m_clock.start();
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const Sample now = sample();
            if (now.at - m_last.at > m_longest.ms * 1e6)
                m_longest = {(now.at - m_last.at) / 1e6, (now.running - m_last.running) / 1e6,
                             (now.waiting - m_last.waiting) / 1e6};
            m_last = now;
        });
        m_timer.start(1);
        reset();
    }
    ~StallSplit()
    {
        if (m_schedstat >= 0)
            ::close(m_schedstat);
    }
    StallSplit(const StallSplit &) = delete;
    StallSplit &operator=(const StallSplit &) = delete;

    bool isAvailable() const { return m_schedstat >= 0; }
    void reset()
    {
        m_last = sample();
        m_longest = {};
    }
    Gap longest() const { return m_longest; }

private:
    struct Sample {
        qint64 at = 0;
        qint64 running = 0;
        qint64 waiting = 0;
    };

    Sample sample() const
    {
        Sample sample{m_clock.nsecsElapsed()};
        char line[96] = {};
        if (m_schedstat >= 0 && ::pread(m_schedstat, line, sizeof line - 1, 0) > 0) {
            long long running = 0, waiting = 0;
            if (std::sscanf(line, "%lld %lld", &running, &waiting) == 2) {
                sample.running = running;
                sample.waiting = waiting;
            }
        }
        return sample;
    }

    const int m_schedstat;
    QElapsedTimer m_clock;
    QTimer m_timer;
    Sample m_last;
    Gap m_longest;
};

QByteArray textOf(qsizetype size, char seed)
{
    QByteArray line = "A line of a long copied log, number ";
    QByteArray text;
    text.reserve(size);
    for (qint64 i = 0; text.size() < size; ++i)
        text += line + QByteArray::number(i) + ' ' + seed + '\n';
    text.truncate(size);
    return text;
}

// xclip takes the clipboard with the file's bytes and stays as the owner; it runs on its own.
void startCopy(QProcess &xclip, const QString &file, const QByteArray &target)
{
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                 QString::fromLatin1(target), QStringLiteral("-i"), file});
}

bool copyNow(const QByteArray &data)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-i")});
    if (!xclip.waitForStarted(5000))
        return false;
    xclip.write(data);
    xclip.closeWriteChannel();
    return spinUntil([&] { return xclip.state() == QProcess::NotRunning; }, 5000);
}

qint64 storeBytes()
{
    const QString path = CoreDataStack::shared().storePath();
    qint64 total = 0;
    for (const char *suffix : {"", "-wal", "-shm"})
        total += QFileInfo(path + QLatin1String(suffix)).size();
    return total;
}

double megabytes(qint64 bytes) { return bytes / 1024.0 / 1024.0; }

bool g_small = false;

bool burst(TaviPBManager &manager)
{
    const int kCopies = g_small ? 20 : 200;
    std::vector<qint64> copiedAt(kCopies, -1), announcedAt(kCopies, -1);
    QElapsedTimer clock;
    clock.start();
    int withApplication = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        NotificationName::historyDidAddNewItem, [&](const Notification &n) {
            for (const PBItem &item : n.userInfo.value(NotificationKey::items).value<QList<PBItem>>()) {
                const QString text = item.dataProvider() ? item.dataProvider()->representedText() : QString();
                const int index = text.section(QLatin1Char('#'), 1).toInt();
                if (text.startsWith(QStringLiteral("burst copy #")) && index >= 0 && index < kCopies
                    && announcedAt[index] < 0) {
                    announcedAt[index] = clock.elapsed();
                    if (item.sourceApp() && !item.sourceApp()->name.isEmpty())
                        ++withApplication;
                }
            }
        });
    const qsizetype before = manager.itemCount();
    for (int i = 0; i < kCopies; ++i) {
        const qint64 count = manager.pasteboard().changeCount();
        copyNow("burst copy #" + QByteArray::number(i));
        // xclip may take the clipboard just after it returned.
        spinUntil([&] { return manager.pasteboard().changeCount() != count; }, 2000);
        copiedAt[i] = clock.elapsed();
        while (clock.elapsed() < (i + 1) * 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    const double seconds = clock.elapsed() / 1000.0;
    spinUntil([&] { return std::all_of(announcedAt.begin(), announcedAt.end(), [](qint64 t) { return t >= 0; }); },
              5000);
    spin(300);
    NotificationCenter::defaultCenter().removeObserver(token);
    std::vector<qint64> latency;
    for (int i = 0; i < kCopies; ++i) {
        if (announcedAt[i] >= 0)
            latency.push_back(std::max<qint64>(0, announcedAt[i] - copiedAt[i]));
    }
    std::sort(latency.begin(), latency.end());
    std::printf("burst: %d copies in %.1f s (%.1f a second): %lld stored, %d announced with their application; "
                "%lld counted as lost and told\n",
                kCopies, seconds, kCopies / seconds, (long long)(manager.itemCount() - before), withApplication,
                (long long)manager.lostCopyCount());
    if (!latency.empty())
        std::printf("burst: from xclip's copy to the announcement: median %lld ms, max %lld ms\n",
                    (long long)latency[latency.size() / 2], (long long)latency.back());
    else
        std::printf("burst: NO copy was announced\n");
    return !latency.empty();
}

bool large(TaviPBManager &manager)
{
    const int scale = g_small ? 10 : 1;
    struct Case {
        const char *name;
        QByteArray target;
        QByteArray data;
    };
    const Case cases[] = {
        {"PNG", "image/png", Bench::noisePng(1870 / (g_small ? 3 : 1))}, // 10 MB of noise
        {"text", "UTF8_STRING", textOf(20 * 1000 * 1000 / scale, 'a')},
        {"text", "UTF8_STRING", textOf(50 * 1000 * 1000 / scale, 'b')},
    };
    // The history list stays open meanwhile, as a user's may, so its updates are part of the figures.
    std::unique_ptr<CategoryWindowController> list;
    if (qEnvironmentVariable("TAVI_BENCH_LIST", QStringLiteral("1")) != QStringLiteral("0")) {
        list = std::make_unique<CategoryWindowController>(manager);
        list->resize(380, 720);
        list->showCategory(PBCategory::all());
    }
    std::printf("large: the history list %s\n", list ? "open (TAVI_BENCH_LIST=0 leaves it closed)" : "closed");
    Bench::StallWatch stalls;
    StallSplit split;
    Bench::WindowPing ping;
    const bool pinging = ping.start(QCoreApplication::applicationPid(), 10000);
    bool allStored = true;
    QList<QProcess *> owners;
    for (const Case &c : cases) {
        QTemporaryFile file;
        file.open();
        file.write(c.data);
        file.flush();
        const QByteArray dataSize = QByteArray::number(megabytes(c.data.size()), 'f', 1);
        spin(2000);
        Memory::trim();
        const double before = Bench::residentMegabytes();
        int added = 0;
        const auto token = NotificationCenter::defaultCenter().addObserver(NotificationName::historyDidAddNewItem,
                                                                           [&](const Notification &) { ++added; });
        const int saves = manager.saveScheduler().saveCount();
        auto *xclip = new QProcess;
        owners.append(xclip);
        startCopy(*xclip, file.fileName(), c.target);
        // Measured from xclip's start on: starting a process forks this (large) one on the GUI
        // thread, which is the benchmark's cost, not the program's.
        xclip->waitForStarted(5000);
        stalls.reset();
        split.reset();
        ping.reset();
        QElapsedTimer clock;
        clock.start();
        const bool stored = spinUntil([&] { return added > 0 && manager.saveScheduler().saveCount() > saves; }, 60000);
        const qint64 storedMs = clock.elapsed();
        const Bench::StallWatch::Gap inside = stalls.longest();
        const double stall = inside.ms;
        const double stallEnded = stalls.longestEndedAtMs();
        const StallSplit::Gap gap = split.longest();
        // No ping answered reads as none taken.
        const Bench::WindowPing::Report outside =
            (pinging ? ping.report() : std::nullopt).value_or(Bench::WindowPing::Report{});
        allStored = allStored && stored;
        NotificationCenter::defaultCenter().removeObserver(token);
        const double after = Bench::residentMegabytes();
        double settled = after;
        qint64 backAfterMs = -1;
        const int settleMs = g_small ? 3000 : 30000;
        QElapsedTimer since;
        since.start();
        while (since.elapsed() < settleMs) {
            spin(500);
            settled = Bench::residentMegabytes();
            if (backAfterMs < 0 && settled - before <= 20)
                backAfterMs = since.elapsed();
        }
        const QByteArray seenOutside = outside.pings > 0 ? QByteArray::number(outside.longestMs, 'f', 1) + " ms ("
                                                               + QByteArray::number(outside.pings) + " pings)"
                                                         : QByteArrayLiteral("NOT measured (no ping answered)");
        const QByteArray splitText = split.isAvailable()
                                         ? QByteArray::number(gap.ms, 'f', 0) + " ms of which it ran "
                                               + QByteArray::number(gap.runningMs, 'f', 0) + " ms and waited for a CPU "
                                               + QByteArray::number(gap.waitingMs, 'f', 0) + " ms"
                                         : QByteArrayLiteral("NOT split (no schedstat)");
        std::printf(
            "%-4s (%s MB): %s in %lld ms; GUI thread's longest stall %.0f ms (%.0f ms less the machine's pauses; ended "
            "%.0f ms after the copy, at %s; "
            "%s), from outside %s; resident %.0f MB before, %.0f MB when saved, %.0f MB %d s later (back within 20 "
            "MB after %s)\n",
            c.name, dataSize.constData(), stored ? "stored and saved" : "NOT STORED", (long long)storedMs, stall,
            inside.ownMs, stallEnded, qPrintable(stalls.longestEndedTime().toString(QStringLiteral("HH:mm:ss.zzz"))),
            splitText.constData(), seenOutside.constData(), before, after, settled, settleMs / 1000,
            backAfterMs < 0 ? "never" : qPrintable(QStringLiteral("%1 s").arg(backAfterMs / 1000.0, 0, 'f', 1)));
        std::fflush(stdout);
    }
    spin(3000);
    std::printf("store on disk once idle, with its write-ahead log: %.1f MB (%s)\n", megabytes(storeBytes()),
                qPrintable(CoreDataStack::shared().storePath()));
    for (QProcess *owner : owners) {
        owner->kill();
        owner->waitForFinished(1000);
        delete owner;
    }
    return allStored;
}

// The list's first page (newest first: the large copies), the tray menu's and digit keys' few
// newest rows, and a page further down, each read a few times.
void pageReads(TaviPBManager &manager)
{
    constexpr int kReads = 5;
    const qsizetype count = manager.itemCount(TaviPBManager::ListQuery{});
    const std::pair<qsizetype, int> reads[] = {{0, 50}, {0, 9}, {std::min<qsizetype>(count / 2, 1000), 50}};
    for (const auto &[offset, rows] : reads) {
        std::vector<double> ms;
        qsizetype longest = 0; // the longest text the page's items carry, as listed
        for (int i = 0; i < kReads; ++i) {
            QElapsedTimer clock;
            clock.start();
            const QList<PBItem> page = manager.getItemsPage(TaviPBManager::ListQuery{}, offset, rows);
            ms.push_back(clock.nsecsElapsed() / 1e6);
            for (const PBItem &item : page)
                longest = std::max(longest, item.dataProvider() ? item.dataProvider()->representedText().size() : 0);
        }
        QByteArray figures;
        for (const double each : ms)
            figures += (figures.isEmpty() ? "" : ", ") + QByteArray::number(each, 'f', 1);
        std::printf("list page read (%d rows from row %lld of %lld; its longest listed text %lld characters): %s ms\n",
                    rows, (long long)offset, (long long)count, (long long)longest, figures.constData());
    }
}

int child(int argc, char **argv, const QString &mode, const QString &folder)
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder + QStringLiteral("/data")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder + QStringLiteral("/config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(folder + QStringLiteral("/state")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(folder + QStringLiteral("/cache")));
    // The sound server's client keeps its folder there too, and not in /tmp after the run.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Bench::makeRuntimeFolder(folder + QStringLiteral("/runtime"))));
    if (mode == QStringLiteral("seed")) {
        QCoreApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("TaviPaste"));
        Bench::seedHistory(qEnvironmentVariableIntValue("TAVI_BENCH_ITEMS"), [](qint64 i) {
            return QStringLiteral("Copied text number %1 with some more words to make it the length of a usual copy")
                .arg(i);
        });
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    Memory::returnLargeBlocksAtOnce();
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication::setDesktopFileName(QStringLiteral("tavipaste"));
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    Strings::install();
    if (PlatformBackends::install() != PlatformBackends::Kind::X11) {
        std::fprintf(stderr, "needs an X server with XFixes (run inside xvfb-run)\n");
        return 1;
    }
    HistoryScenes::registerAll();
    ColorBarScenes::registerAll();
    AppDelegate delegate(TaviPBManager::shared());
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    ColorBarScenes::showColorBar(); // as the program does; its window answers the outside pings
    spin(3000);
    bool measured = true;
    if (mode == QStringLiteral("burst"))
        measured = burst(delegate.pbManager);
    else if (mode == QStringLiteral("large"))
        measured = large(delegate.pbManager);
    else {
        spin(5000);
        Memory::trim();
        std::printf("restart on %s: resident %.0f MB after start-up, %lld items listed\n", qPrintable(mode),
                    Bench::residentMegabytes(), (long long)delegate.pbManager.itemCount());
        if (mode.contains(QStringLiteral("large")))
            pageReads(delegate.pbManager);
    }
    std::fflush(stdout);
    delegate.applicationWillTerminate();
    return measured ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    g_small = qEnvironmentVariableIntValue("TAVI_BENCH_SMALL") == 1;
    if (argc >= 3 && qstrcmp(argv[1], "small") != 0)
        return child(argc, argv, QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]));
    std::optional<qint64> items;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "small") == 0) {
            g_small = true;
            qputenv("TAVI_BENCH_SMALL", "1"); // for the children
        } else {
            items = QByteArray(argv[i]).toLongLong();
        }
    }
    if (!items)
        items = g_small ? 1000 : 1000000;
    if (*items <= 0) {
        std::fprintf(stderr, "nothing to measure: a history of %lld items\n", (long long)*items);
        return 1;
    }
    qputenv("TAVI_BENCH_ITEMS", QByteArray::number(*items));
    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    int status = 0;
    auto run = [&](const QString &mode, const QString &folder) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(self, {mode, folder});
        child.waitForFinished(-1);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            status = 1;
    };
    QTemporaryDir empty, burstHome, largeHome;
    run(QStringLiteral("burst"), burstHome.path());
    run(QStringLiteral("an empty history"), empty.path());
    QElapsedTimer seeding;
    seeding.start();
    run(QStringLiteral("seed"), largeHome.path());
    std::printf("large: a history of %lld text items seeded in %.1f s\n", (long long)*items,
                seeding.elapsed() / 1000.0);
    std::fflush(stdout);
    run(QStringLiteral("large"), largeHome.path());
    run(QStringLiteral("the history with the large copies"), largeHome.path());
    return status;
}
