// Large and unusual copies on the capture road, each in a fresh home of its own:
//   files N   a file manager's copy of N existing files, then a text copied right after it: when
//             the files are stored and announced, when the text is, when both are saved and
//             their bookmarks written; the settings file's writes, the log's growth and the GUI
//             thread's longest stall meanwhile;
//   html      HTML of 20,000 nested tables (about 660 KB), then a text copied right after it;
//   clear N   Clear History, as the status menu does it, on N file items: the GUI thread's
//             longest stall from the click until the list is empty and saved.
// Without arguments it runs files 20000, files 100000, html and clear 5000. Each stall is timed
// inside the process and, with QT_QPA_PLATFORM=xcb (offscreen otherwise), from outside it by a
// client pinging a window of the process; on X, a window that answers no ping exits with 1.

#include "support/BenchHistory.h"
#include "support/GuiStalls.h"

#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TPBookMarkCacher.h"
#include "core/store/CoreDataStack.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "platform/PlatformBackends.h"
#include "platform/Strings.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

// Runs the event loop, sleeping between events, until the condition holds or the time is up.
template <typename Condition>
bool spinUntil(Condition condition, qint64 timeoutMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    bool met = condition();
    if (met)
        return true;
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

qint64 folderBytes(const QString &path)
{
    qint64 total = 0;
    QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        total += QFileInfo(it.next()).size();
    return total;
}

QList<PasteboardItem> fileCopy(const QString &folder, int count)
{
    QList<PasteboardItem> items;
    items.reserve(count);
    for (int i = 0; i < count; ++i) {
        const QString sub = folder + QStringLiteral("/d%1").arg(i / 1000);
        if (i % 1000 == 0)
            QDir().mkpath(sub);
        const QString path = sub + QStringLiteral("/file %1.txt").arg(i);
        QFile(path).open(QIODevice::WriteOnly);
        PasteboardItem item;
        item.setData(PasteboardType::fileURL, QUrl::fromLocalFile(path).toEncoded());
        items.append(item);
    }
    return items;
}

QByteArray nestedTables(int depth)
{
    QByteArray html = "<html><body>";
    for (int i = 0; i < depth; ++i)
        html += "<table><tr><td>" + QByteArray::number(i % 10);
    for (int i = 0; i < depth; ++i)
        html += "</td></tr></table>";
    return html + "</body></html>";
}

struct Arrivals {
    std::atomic<qint64> items{0};
    std::atomic<qint64> lastAt{-1}; // when the announcement that reached `items` came
    qint64 followUpAt = -1;
};

// A large copy and a text copied right after it, through the capture road.
bool largeThenText(const char *name, const QList<PasteboardItem> &large, const QString &home)
{
    std::atomic<int> settingsWrites{0};
    Defaults::setWriteHookForTesting([&] { ++settingsWrites; });
    const QString logs = Log::logDirectory();
    const qint64 logBefore = folderBytes(logs);

    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    RunningApplication files;
    files.localizedName = QStringLiteral("Files");
    files.bundleIdentifier = QStringLiteral("org.gnome.Nautilus");
    workspace.setFrontmostApplication(files);
    PBCategoryManager categories(CoreDataStack::shared().managedContext());
    TaviPBManager manager(pasteboard, workspace, categories);

    const QString followUp = QStringLiteral("copied right after the large one");
    Arrivals arrivals;
    QElapsedTimer clock;
    const auto token = NotificationCenter::defaultCenter().addObserver(
        NotificationName::historyDidAddNewItem, [&](const Notification &n) {
            // A listener of its own, as light as the program's: the text copied right after the
            // large copy is a change, and so an announcement, of its own.
            const QList<PBItem> items = n.userInfo.value(NotificationKey::items).value<QList<PBItem>>();
            if (items.size() == 1 && items.first().dataProvider()
                && items.first().dataProvider()->representedText() == followUp)
                arrivals.followUpAt = clock.elapsed();
            else
                arrivals.items += items.size();
            arrivals.lastAt = clock.elapsed();
        });
    Bench::GuiStalls stalls;
    manager.startMonitoring();
    spinUntil([] { return false; }, 200);
    const int saves = manager.saveScheduler().saveCount();
    stalls.reset();
    clock.start();
    pasteboard.simulateCopy(large);
    PasteboardItem text;
    text.setString(PasteboardType::string, followUp);
    pasteboard.simulateCopy({text});
    const qint64 expected = name == QByteArrayLiteral("html") ? 1 : large.size();
    const bool arrived = spinUntil([&] { return arrivals.items >= expected && arrivals.followUpAt >= 0; }, 3600 * 1000);
    const qint64 largeMs = arrivals.lastAt;
    spinUntil([&] { return manager.saveScheduler().saveCount() > saves && !manager.saveScheduler().isPending(); },
              600 * 1000);
    // The benchmark's own waits run beside the GUI thread, whose event loop keeps turning.
    std::atomic<qint64> savedMs{-1};
    std::atomic<qint64> bookmarkedMs{-1};
    std::thread waits([&] {
        manager.saveNow();
        savedMs = clock.elapsed();
        TPBookMarkCacher::shared().waitUntilIdle();
        bookmarkedMs = clock.elapsed();
    });
    spinUntil([&] { return bookmarkedMs >= 0; }, 3600 * 1000);
    waits.join();
    NotificationCenter::defaultCenter().removeObserver(token);
    bool outsideMissing = false;
    const QByteArray stalled = stalls.describe(&outsideMissing);
    std::printf("%s: %s; %lld items announced, the last at %.2f s; the text copied right after it announced at %.2f s; "
                "saved at %.2f s, bookmarks written at %.2f s; settings file written %d times; log grew %.1f MB; "
                "%s\n",
                name, arrived ? "stored" : "NOT ALL STORED", (long long)arrivals.items.load(), largeMs / 1000.0,
                arrivals.followUpAt / 1000.0, savedMs / 1000.0, bookmarkedMs / 1000.0, settingsWrites.load(),
                (folderBytes(logs) - logBefore) / 1024.0 / 1024.0, stalled.constData());
    std::fflush(stdout);
    manager.stopMonitoring();
    Defaults::setWriteHookForTesting({});
    Q_UNUSED(home);
    return arrived && !outsideMissing;
}

bool clearHistory(int count, const QString &home)
{
    AppDelegate delegate(TaviPBManager::shared());
    TaviPBManager &manager = delegate.pbManager;
    auto &pasteboard = static_cast<MemoryPasteboard &>(manager.pasteboard());
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    pasteboard.simulateCopy(fileCopy(home + QStringLiteral("/files"), count));
    if (!spinUntil([&] { return manager.itemCount() >= count; }, 3600 * 1000)) {
        std::printf("clear %d: the files were NOT stored\n", count);
        return false;
    }
    manager.saveNow();
    TPBookMarkCacher::shared().waitUntilIdle();
    spinUntil([] { return false; }, 500);

    setAlertResponder([](const AlertRequest &) { return ModalResponse::alertFirstButtonReturn; });
    bool cleared = false;
    const auto token = NotificationCenter::defaultCenter().addObserver(NotificationName::historyItemsDidClear,
                                                                       [&](const Notification &) { cleared = true; });
    Bench::GuiStalls stalls;
    QElapsedTimer clock;
    clock.start();
    stalls.reset();
    delegate.showClearAllAlert();
    const qint64 returnedMs = clock.elapsed();
    const bool emptied = spinUntil([&] { return cleared && manager.itemCount() == 0; }, 600 * 1000);
    const qint64 clearedMs = clock.elapsed();
    // The GUI thread's reactions to the clear run meanwhile and after it.
    spinUntil([] { return false; }, 500);
    bool outsideMissing = false;
    // The action runs on the GUI thread: until it returns, the event loop does not run.
    const double inside = std::max(double(returnedMs), stalls.insideMs());
    const QByteArray outside = stalls.describe(&outsideMissing);
    manager.saveNow();
    TPBookMarkCacher::shared().waitUntilIdle();
    const qint64 doneMs = clock.elapsed();
    NotificationCenter::defaultCenter().removeObserver(token);
    std::printf("clear %d file items: the action returned after %lld ms, the list was empty at %.2f s, saved with "
                "bookmarks dropped at %.2f s; GUI thread's longest stall %.1f ms (%s)\n",
                count, (long long)returnedMs, clearedMs / 1000.0, doneMs / 1000.0, inside, outside.constData());
    std::fflush(stdout);
    setAlertResponder({});
    delegate.applicationWillTerminate();
    if (!emptied)
        std::printf("clear %d: the list was NOT emptied\n", count);
    return emptied && !outsideMissing;
}

int child(int argc, char **argv, const QString &mode, int count, const QString &home)
{
    for (const char *variable : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
        const QString folder =
            home + QLatin1Char('/') + QString::fromLatin1(variable).section(QLatin1Char('_'), 1, 1).toLower();
        qputenv(variable, QFile::encodeName(folder));
    }
    // The sound server's client keeps its folder there too, and not in /tmp after the run.
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(Bench::makeRuntimeFolder(home + QStringLiteral("/runtime"))));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication::setApplicationName(QStringLiteral("TaviPaste"));
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    Strings::install();
    Log::setup();
    if (mode == QStringLiteral("files")) {
        const QList<PasteboardItem> items = fileCopy(home + QStringLiteral("/files"), count);
        return largeThenText(qPrintable(QStringLiteral("files %1").arg(count)), items, home) ? 0 : 1;
    } else if (mode == QStringLiteral("html")) {
        const QByteArray html = nestedTables(count);
        PasteboardItem item;
        item.setData(PasteboardType::html, html);
        std::printf("html: %d nested tables, %.0f KB\n", count, html.size() / 1024.0);
        return largeThenText("html", {item}, home) ? 0 : 1;
    } else if (mode == QStringLiteral("clear")) {
        // The clear works on copies the benchmark makes itself, never on the display's clipboard.
        PlatformBackends::install(PlatformBackends::Kind::Memory);
        return clearHistory(count, home) ? 0 : 1;
    }
    std::fprintf(stderr, "nothing to measure: no mode \"%s\"\n", qPrintable(mode));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4)
        return child(argc, argv, QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toInt(),
                     QString::fromLocal8Bit(argv[3]));
    QCoreApplication app(argc, argv);
    QList<std::pair<QString, int>> runs{{QStringLiteral("files"), 20000},
                                        {QStringLiteral("files"), 100000},
                                        {QStringLiteral("html"), 20000},
                                        {QStringLiteral("clear"), 5000}};
    if (argc == 3)
        runs = {{QString::fromLocal8Bit(argv[1]), QByteArray(argv[2]).toInt()}};
    int status = 0;
    for (const auto &[mode, count] : runs) {
        QTemporaryDir home;
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {mode, QString::number(count), home.path()});
        child.waitForFinished(-1);
        if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
            status = 1;
    }
    return status;
}
