// Sync through a folder: a burst of 1,000 copies exported (segments written), the first import
// of a 100,000-item history by a running engine from segments and again from a snapshot (time,
// memory added), the snapshot's size against the segments', the time from a segment's arrival in
// the folder to the item being in the other store's history, and the same for a 40 MB item that
// travels as a blob. The import from segments fills the store of the history that the color bar
// and an open All list show, as on a user's machine, so their reactions to the imported rows run
// on the GUI thread meanwhile: its longest stall is timed inside the process and, with
// QT_QPA_PLATFORM=xcb (offscreen otherwise), from outside it by a client pinging a window of the
// process. Each import also prints the processor time its sync threads used, which depends far
// less than its duration on how busy the machine is, and how much they wrote. An import that does not arrive in time, an
// engine that exports nothing, or (on X) a window that answers no ping exits with 1.
//
//   bench_sync [items]   (default 100000)

#include "support/GuiStalls.h"

#include "capture/TaviPBManager.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "core/sync/FolderCloudMirror.h"
#include "core/sync/SyncEngine.h"
#include "core/sync/SyncExporter.h"
#include "core/sync/SyncSettings.h"
#include "core/sync/SyncSnapshots.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "platform/Defaults.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

#include <SQLiteCpp/Database.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace {
double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

// The processor time of this process's sync threads (those named after sync) and what they wrote
// (bytes and write calls, the log's frames and copies into the store among them), summed by name,
// as "name 1234 ms, 56 MB in 7000 writes, ...": all are started by the import being measured.
QByteArray syncThreadTimes()
{
    struct Use {
        qint64 ms = 0, bytes = 0, writes = 0;
    };
    QMap<QByteArray, Use> byName;
    const long ticks = sysconf(_SC_CLK_TCK);
    for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const qsizetype open = line.indexOf('('), close = line.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        const QByteArray name = line.mid(open + 1, close - open - 1);
        // After the name: state (field 3) ... utime (14), stime (15).
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (!name.contains("tavi.sync") || fields.size() < 13 || ticks <= 0)
            continue;
        Use &use = byName[name];
        use.ms += (fields[11].toLongLong() + fields[12].toLongLong()) * 1000 / ticks;
        QFile io(QStringLiteral("/proc/self/task/%1/io").arg(task));
        if (!io.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &row : io.readAll().split('\n')) {
            if (row.startsWith("wchar: "))
                use.bytes += row.mid(7).toLongLong();
            else if (row.startsWith("syscw: "))
                use.writes += row.mid(7).toLongLong();
        }
    }
    QByteArray text;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        text += (text.isEmpty() ? "" : ", ") + it.key() + ' ' + QByteArray::number(it->ms) + " ms, "
                + QByteArray::number(it->bytes / (1024 * 1024)) + " MB in " + QByteArray::number(it->writes)
                + " writes";
    return text.isEmpty() ? QByteArrayLiteral("no sync thread found") : text;
}

void addItems(CoreDataStack &stack, int count, int offset)
{
    auto context = stack.managedContext();
    for (int i = 0; i < count; ++i) {
        auto item = context->insertNewObject<PBItemRecord>();
        item->setUuid(QUuid::createUuid());
        const QString text = QStringLiteral("copied text number %1 with a little more to read").arg(offset + i);
        item->setText(text);
        item->setDataHash(QString::number(qHash(text), 16));
        item->setCreatedAt(QDateTime::currentDateTimeUtc());
        item->setModifiedAt(QDateTime::currentDateTimeUtc());
        auto pasteboard = context->insertNewObject<PBPasteboardDataRecord>();
        pasteboard->setType(QStringLiteral("public.utf8-plain-text"));
        pasteboard->setData(text.toUtf8());
        item->addPasteboardsObject(pasteboard);
    }
    context->save();
}

qint64 itemCount(CoreDataStack &stack)
{
    return stack.managedContext()->count(PBItemRecord::fetchRequest()).value_or(-1);
}

// The items of a store, counted every 100 ms on a connection and a thread of its own while the
// GUI thread is measured: the benchmark's own polling is no stall of the program's.
class CountWatcher {
public:
    explicit CountWatcher(const QString &storePath)
        : m_thread([this, path = storePath.toStdString()] {
              SQLite::Database database(path, SQLite::OPEN_READONLY, 10000);
              while (!m_stop) {
                  m_count = database.execAndGet(R"sql(SELECT count(*) FROM "PBItemRecord")sql").getInt64();
                  std::this_thread::sleep_for(std::chrono::milliseconds(100));
              }
          })
    {
    }
    ~CountWatcher()
    {
        m_stop = true;
        m_thread.join();
    }
    qint64 count() const { return m_count; }

private:
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_count{0};
    std::thread m_thread;
};

// Runs the event loop until the condition holds (checked every 100 ms), noting the peak resident
// memory; false (and said) when it did not hold within the time.
bool runUntil(const char *what, const std::function<bool()> &done, int timeoutMs, double *peakMegabytes)
{
    QTimer check;
    check.setInterval(100);
    QObject::connect(&check, &QTimer::timeout, [&] {
        *peakMegabytes = std::max(*peakMegabytes, residentMegabytes());
        if (done())
            QCoreApplication::exit(0);
    });
    // Scoped to this wait: a time limit left pending would end a later one.
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    limit.start(timeoutMs);
    check.start();
    if (QCoreApplication::exec() == 0)
        return true;
    std::printf("%s did NOT happen within %d s\n", what, timeoutMs / 1000);
    return false;
}
} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
        qputenv(name, (home.path() + QLatin1Char('/') + QLatin1String(name)).toUtf8());
    QApplication app(argc, argv);
    Strings::install(); // the windows shown meanwhile have their real texts
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (loadAverage.open(QIODevice::ReadOnly))
        std::printf("load average: %s", loadAverage.readAll().constData());
    const int items = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    if (items < 1000) {
        std::fprintf(stderr, "nothing to measure: a history of %d items (1000 at least)\n", items);
        return 1;
    }
    const QString folder = home.path() + QStringLiteral("/sync");
    QDir().mkpath(folder);
    const SyncFolder::Joined joined = SyncFolder(folder).join(QStringLiteral("bench passphrase"));
    if (!joined.key) {
        std::fprintf(stderr, "could not join the sync folder\n");
        return 1;
    }
    bool measured = true;

    // The exporting machine: a store whose change log is on, exported by hand.
    CoreDataStack source(home.path() + QStringLiteral("/a.sqlite"));
    std::unique_ptr<SyncJournal> journal = SyncJournal::open(source.storePath());
    journal->install();
    SyncFolder syncFolder(folder);
    SyncExporter exporter(*journal, syncFolder, *joined.key);

    addItems(source, 1000, 0);
    QElapsedTimer timer;
    timer.start();
    SyncExporter::Result burst = exporter.exportChanges();
    std::printf("burst of 1000 copies: %d segment(s), %d records, exported in %lld ms\n", burst.segments, burst.records,
                qint64(timer.elapsed()));

    for (int done = 1000; done < items; done += 10000)
        addItems(source, std::min(10000, items - done), done);
    timer.restart();
    SyncExporter::Result bulk = exporter.exportChanges();
    std::printf("export of %d more items: %d segments in %lld ms, folder %.1f MB\n", items - 1000, bulk.segments,
                qint64(timer.elapsed()), double(syncFolder.deviceBytes(journal->deviceId())) / (1024.0 * 1024.0));
    if (burst.segments == 0 || (items > 1000 && bulk.segments == 0)) {
        std::printf("the exporter wrote NO segment: nothing to import\n");
        return 1;
    }

    // The importing machine: the real engine, started with mirroring on.
    SyncSettings::setFolder(folder);
    SyncSettings::setKey(*joined.key);
    FolderCloudMirror::install();
    {
        // The history's windows are open before sync is turned on; then the store is rebuilt
        // with mirroring, as turning sync on does, and the import begins.
        HistoryScenes::registerAll();
        TaviPBManager &manager = TaviPBManager::shared();
        MainWindowController bar(PBCategoryManager::shared(), manager, PBScreenMonitor::shared());
        bar.showBar();
        CategoryWindowController list(manager);
        list.resize(380, 720);
        list.show();
        QElapsedTimer shown;
        shown.start();
        double unused = 0;
        runUntil(
            "the windows' showing", [&] { return shown.elapsed() >= 1000; }, 5000, &unused);
        Bench::GuiStalls stalls;
        CoreDataStack &shared = CoreDataStack::shared();
        CountWatcher imported(shared.storePath());
        const double before = residentMegabytes();
        double peak = before;
        QElapsedTimer elapsed;
        elapsed.start();
        stalls.reset();
        TaviSettings::shared().setEnableCloudSync(true);
        shared.setupContainer();
        measured = runUntil(
                       "the first import", [&] { return imported.count() >= items; }, 300000, &peak)
                   && measured;
        const qint64 importMs = elapsed.elapsed();
        const QByteArray threadTimes = syncThreadTimes();
        bool outsideMissing = false;
        const QByteArray stalled = stalls.describe(&outsideMissing);
        std::printf("first import of %lld items from segments, with the bar and a list open: %lld ms, memory added "
                    "%.1f MB; %s; processor time: %s\n",
                    qint64(imported.count()), importMs, peak - before, stalled.constData(), threadTimes.constData());
        if (outsideMissing) {
            std::printf("NO stall timed from outside: the window answered no ping\n");
            measured = false;
        }
        std::fflush(stdout); // a trace taken meanwhile can be lined up with the figures
        TaviSettings::shared().setEnableCloudSync(false);
        shared.setupContainer();
    }
    auto firstImport = [&](const QString &file, const char *from) {
        const double before = residentMegabytes();
        double peak = before;
        QElapsedTimer elapsed;
        elapsed.start();
        auto target = std::make_unique<CoreDataStack>(home.path() + file);
        measured = runUntil(
                       "the first import", [&] { return itemCount(*target) >= items; }, 300000, &peak)
                   && measured;
        const qint64 importMs = elapsed.elapsed();
        std::printf("first import of %lld items from %s: %lld ms, memory added %.1f MB; processor time: %s\n",
                    qint64(itemCount(*target)), from, importMs, peak - before, syncThreadTimes().constData());
        std::fflush(stdout);
        return target;
    };

    timer.restart();
    SyncSnapshots snapshots(*journal, syncFolder, *joined.key);
    const SyncSnapshots::Result snapshot = snapshots.write();
    qint64 segmentBytes = 0;
    for (quint64 number : syncFolder.segments(journal->deviceId()))
        segmentBytes += QFileInfo(syncFolder.deviceDirectory(journal->deviceId()) + QLatin1Char('/')
                                  + SyncFolder::segmentName(number))
                            .size();
    std::printf("snapshot of %d records written in %lld ms: %.1f MB (segments it replaces: %.1f MB)\n",
                snapshot.records, qint64(timer.elapsed()),
                double(syncFolder.deviceBytes(journal->deviceId()) - segmentBytes) / (1024.0 * 1024.0),
                double(segmentBytes) / (1024.0 * 1024.0));

    TaviSettings::shared().setEnableCloudSync(true);
    auto target = firstImport(QStringLiteral("/c.sqlite"), "the snapshot");
    double peak = 0;

    // Latency: from a segment's arrival in the folder to the item in the other history.
    QList<qint64> latencies;
    for (int round = 0; round < 5; ++round) {
        addItems(source, 1, items + round);
        const qint64 expected = itemCount(source);
        exporter.exportChanges(); // the segment arrives now
        timer.restart();
        measured = runUntil(
                       "an item's arrival", [&] { return itemCount(*target) >= expected; }, 10000, &peak)
                   && measured;
        latencies << timer.elapsed();
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("arrival to history: median %lld ms, worst %lld ms\n", latencies[latencies.size() / 2],
                latencies.last());

    // A 40 MB item: exported with its blob, then from arrival to the history.
    {
        auto context = source.managedContext();
        auto item = context->insertNewObject<PBItemRecord>();
        item->setUuid(QUuid::createUuid());
        item->setText(QStringLiteral("a large picture"));
        item->setCreatedAt(QDateTime::currentDateTimeUtc());
        item->setModifiedAt(QDateTime::currentDateTimeUtc());
        auto pasteboard = context->insertNewObject<PBPasteboardDataRecord>();
        pasteboard->setType(QStringLiteral("public.png"));
        QByteArray data(40 * 1024 * 1024, Qt::Uninitialized);
        for (qsizetype i = 0; i < data.size(); ++i)
            data[i] = char(i * 31 + i / 977);
        pasteboard->setData(data);
        item->addPasteboardsObject(pasteboard);
        context->save();
    }
    const qint64 expected = itemCount(source);
    timer.restart();
    SyncExporter::Result large = exporter.exportChanges();
    std::printf("40 MB item exported in %lld ms (%d skipped)\n", qint64(timer.elapsed()), int(large.skipped.size()));
    timer.restart();
    measured = runUntil(
                   "the 40 MB item's arrival", [&] { return itemCount(*target) >= expected; }, 60000, &peak)
               && measured;
    std::printf("40 MB item, arrival to history: %lld ms\n", qint64(timer.elapsed()));
    // A burst of copies saved one by one on a machine whose engine runs: its files in the folder.
    {
        const QString device = SyncJournal::open(target->storePath())->deviceId();
        auto files = [&] { return QDir(syncFolder.deviceDirectory(device)).entryList(QDir::Files).size(); };
        const qsizetype before = files();
        const qsizetype segmentsBefore = syncFolder.segments(device).size();
        timer.restart();
        for (int i = 0; i < 1000; ++i)
            addItems(*target, 1, 2 * items + i);
        const qint64 saving = timer.elapsed();
        qsizetype seen = before;
        QElapsedTimer stable;
        stable.start();
        // Settled once its segments stop growing; other files (markers, temporary copies) come and go.
        auto segments = [&] { return syncFolder.segments(device).size(); };
        qsizetype seenSegments = segmentsBefore;
        measured = runUntil(
                       "the burst's export",
                       [&] {
                           if (segments() != seenSegments) {
                               seenSegments = segments();
                               seen = files();
                               stable.restart();
                           }
                           return seenSegments > segmentsBefore && stable.elapsed() > 3 * SyncEngine::kExportDebounceMs;
                       },
                       60000, &peak)
                   && measured;
        std::printf("burst of 1000 copies saved one by one in %lld ms (export debounce %d ms): %lld new file(s), %lld "
                    "segment(s)\n",
                    saving, SyncEngine::kExportDebounceMs, qint64(files() - before),
                    qint64(syncFolder.segments(device).size() - segmentsBefore));
    }
    TaviSettings::shared().setEnableCloudSync(false);
    target->setupContainer();
    return measured ? 0 : 1;
}
