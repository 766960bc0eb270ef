// Figures of the capture road at large histories: the cost of one copy (from the pasteboard
// change to "historyDidAddNewItem"), a keyword search, an auto-clean and the resident memory.
// Each history size is seeded by one child process and measured by another, so that seeding
// leaves nothing behind in the measured one.

#include "support/BenchHistory.h"

#include "capture/TaviPBManager.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "platform/NotificationCenter.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {
void seed(qint64 count)
{
    // One item in a thousand holds the searched word.
    Bench::seedHistory(count, [](qint64 i) -> QString {
        return (i % 1000 == 7 ? QStringLiteral("Quarterly report %1 ") : QStringLiteral("Copied text number %1 "))
                   .arg(i)
               + QStringLiteral("with some more words to make it the length of a usual copy");
    });
}

void measure(qint64 count, bool full)
{
    const double startRss = Bench::residentMegabytes();
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    RunningApplication editor;
    editor.localizedName = QStringLiteral("Text Editor");
    editor.bundleIdentifier = QStringLiteral("org.gnome.TextEditor");
    workspace.setFrontmostApplication(editor);
    PBCategoryManager categories(CoreDataStack::shared().managedContext());
    TaviPBManager manager(pasteboard, workspace, categories);

    QElapsedTimer timer;
    timer.start();
    const qsizetype loaded = manager.itemCount(); // builds both lists
    const QList<PBItem> shown = manager.getItemsPage(0, 50);
    const double loadMs = timer.nsecsElapsed() / 1e6;
    const double listRss = Bench::residentMegabytes();

    int added = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(NotificationName::historyDidAddNewItem,
                                                                       [&](const Notification &) { ++added; });
    constexpr int kCopies = 40;
    double total = 0;
    for (int i = 0; i < kCopies; ++i) {
        PasteboardItem item;
        item.setString(PasteboardType::string, QStringLiteral("A fresh copy %1 made while measuring").arg(i));
        timer.restart();
        pasteboard.simulateCopy({item});
        manager.retreivePasteboardInfo();
        while (added <= i)
            QCoreApplication::processEvents();
        total += timer.nsecsElapsed() / 1e6;
    }
    NotificationCenter::defaultCenter().removeObserver(token);
    std::printf("history %8lld items: capture %.2f ms per copy; lists of %lld counted, first page read in %.0f ms\n",
                (long long)count, total / kCopies, (long long)loaded, loadMs);

    if (!full)
        return;
    const PBSearchFilter search{{QStringLiteral("quarterly")}};
    timer.restart();
    const qsizetype firstPage = manager.getFilterItemsPage(search, 0, 50).size();
    const double pageMs = timer.nsecsElapsed() / 1e6;
    timer.restart();
    const qsizetype found = manager.filterItemCount(search);
    std::printf("history %8lld items: search to the first %lld results %.1f ms; all %lld counted in %.1f ms more\n",
                (long long)count, (long long)firstPage, pageMs, (long long)found, timer.nsecsElapsed() / 1e6);
    std::printf("history %8lld items: resident memory %.0f MB with the lists loaded (%.0f MB before)\n",
                (long long)count, listRss, startRss);

    if (count == 100000) {
        TaviSettings::shared().setClearType(PBHistoryClearType::items);
        TaviSettings::shared().setHistoryKeepLastCount(int(manager.itemCount() - 10000));
        timer.restart();
        manager.autoCleanHistory();
        manager.saveNow();
        std::printf("history %8lld items: auto-clean of 10000 items, saved, %.0f ms (%lld left)\n", (long long)count,
                    timer.nsecsElapsed() / 1e6, (long long)manager.itemCount());
    }
}
} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() >= 4) {
        // Child: <mode> <count> <folder>
        qputenv("XDG_DATA_HOME", arguments.at(3).toLocal8Bit() + "/data");
        qputenv("XDG_CONFIG_HOME", arguments.at(3).toLocal8Bit() + "/config");
        qputenv("XDG_STATE_HOME", arguments.at(3).toLocal8Bit() + "/state");
        const qint64 count = arguments.at(2).toLongLong();
        if (arguments.at(1) == QStringLiteral("seed"))
            seed(count);
        else
            measure(count, arguments.at(1) == QStringLiteral("full"));
        std::fflush(stdout);
        return 0;
    }
    QList<qint64> sizes{1000, 100000, 1000000};
    if (arguments.size() == 2)
        sizes = {arguments.at(1).toLongLong()};
    for (qint64 count : sizes) {
        QTemporaryDir folder;
        QElapsedTimer timer;
        timer.start();
        QProcess::execute(arguments.first(), {QStringLiteral("seed"), QString::number(count), folder.path()});
        std::printf("history %8lld items: seeded in %.1f s\n", (long long)count, timer.elapsed() / 1000.0);
        std::fflush(stdout);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        child.start(arguments.first(), {count == 1000 ? QStringLiteral("capture") : QStringLiteral("full"),
                                        QString::number(count), folder.path()});
        child.waitForFinished(-1);
    }
    return 0;
}
