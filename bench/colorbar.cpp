// Figures of the color bar over 1,000,000 items in 20 categories (the 8 built-in ones and 12 of
// the user's): the bar shown and its counts known, a new item's flash and count after
// "historyDidAddNewItem", and the cost of each frame of the row animations (software rendering;
// under xvfb-run with QT_QPA_PLATFORM=xcb the window's shape is set too). While the counts come
// in and while new items flash and recount, the GUI thread's longest stall is timed inside the
// process and, on the xcb platform, from outside it by a client pinging a window of the process.
// One child process seeds the store, another measures, so the measured one opens the history from
// disk as the program does. A bar whose counts, flash or animation do not come within 30 s is a
// failure (exit status 1). TAVI_BENCH_QUICK=1 animates three rows only, for a smoke run.
//
//   bench_colorbar [items]   (default 1000000)

#include "support/BenchDriver.h"
#include "support/BenchHistory.h"
#include "support/GuiStalls.h"
#include "support/ProcessUntil.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryItemCounts.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/NotificationNames.h"
#include "core/PBItem.h"
#include "history/HistoryScenes.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <ctime>
#include <cstdio>
#include <functional>

namespace {

constexpr qint64 kItems = 1000000;
constexpr int kCustomCategories = 12;

void seed(qint64 count)
{
    auto context = CoreDataStack::shared().managedContext();
    PBCategoryManager categories(context);
    for (int i = 0; i < kCustomCategories; ++i)
        categories.add(PBCategory(std::nullopt, QStringLiteral("Custom %1").arg(i + 1),
                                  QColor::fromHsv(i * 30, 160, 200), Qt::white, PBDefaultCategory::custom, false,
                                  false));
    context->saveContext();
    QList<std::shared_ptr<PBCategoryRecord>> records = categories.storage().fetch(std::nullopt).value();
    std::shared_ptr<PBCategoryRecord> all;
    QList<std::shared_ptr<PBCategoryRecord>> kinds;
    QList<std::shared_ptr<PBCategoryRecord>> customs;
    for (const auto &record : records) {
        if (record->id() == categoryId(PBDefaultCategory::all))
            all = record;
        else if (record->id() == categoryId(PBDefaultCategory::text)
                 || record->id() == categoryId(PBDefaultCategory::link))
            kinds.append(record);
        else if (record->id().size() > 2)
            customs.append(record);
    }
    CoreDataManager<PBItemRecord> items(context);
    CoreDataManager<PBPasteboardDataRecord> pasteboards(context);
    const QDateTime start = QDateTime::currentDateTime().addSecs(-count);
    for (qint64 i = 0; i < count; ++i) {
        const QString text = QStringLiteral("Copied text number %1 with some words").arg(i);
        auto record = items.newRecord();
        record->setUuid(QUuid::createUuid());
        record->setDataHash(md5(text));
        QList<std::shared_ptr<PBCategoryRecord>> of{all, kinds.at(int(i % 2))};
        if (i % 10 == 0 && !customs.isEmpty())
            of.append(customs.at(int((i / 10) % customs.size())));
        record->addCategories(of);
        record->setCreatedAt(start.addSecs(i));
        record->setModifiedAt(start.addSecs(i));
        record->setText(text);
        record->setAppName(QStringLiteral("Text Editor"));
        auto pasteboard = pasteboards.newRecord();
        pasteboard->setType(PasteboardType::string);
        pasteboard->setData(text.toUtf8());
        record->addPasteboardsObject(pasteboard);
        if ((i + 1) % 50000 == 0 || i + 1 == count) {
            context->saveContext();
            std::fprintf(stderr, "\rseeded %lld", static_cast<long long>(i + 1));
        }
    }
    std::fprintf(stderr, "\n");
}

// The first three figures of /proc/loadavg.
QByteArray loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return "unknown";
    return file.readAll().split(' ').mid(0, 3).join(' ');
}

double ms(qint64 nanoseconds) { return double(nanoseconds) / 1e6; }

// The longest the GUI thread went without its event loop running, while `until` is false; none
// when it did not become true within 30 s.
std::optional<double> longestStall(const std::function<bool()> &until)
{
    qint64 longest = 0;
    QElapsedTimer gap, deadline;
    gap.start();
    deadline.start();
    while (!until()) {
        if (deadline.elapsed() > 30000)
            return std::nullopt;
        QApplication::processEvents(QEventLoop::AllEvents, 1);
        longest = std::max(longest, gap.nsecsElapsed());
        gap.restart();
    }
    return ms(longest);
}

bool allCounted(const MainViewController &bar)
{
    for (int row = 0; row < bar.numberOfRows(); ++row) {
        if (!bar.itemCounts().count(bar.categoryAt(row)->id()))
            return false;
    }
    return !bar.itemCounts().isCounting();
}

// Runs the event loop for a while, timing every frame: the events that came in and one paint of
// the whole window.
// The GUI thread's own processor time, apart from the time others took the processor from it.
qint64 threadNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000000000 + now.tv_nsec;
}

struct FrameCosts {
    QList<double> wall;
    QList<double> processor;
};

FrameCosts frames(QWidget &window, int durationMs)
{
    FrameCosts costs;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < durationMs) {
        QElapsedTimer clock;
        clock.start();
        const qint64 processor = threadNanoseconds();
        QApplication::processEvents();
        window.repaint();
        costs.wall.append(ms(clock.nsecsElapsed()));
        costs.processor.append(ms(threadNanoseconds() - processor));
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 4)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 4);
    }
    return costs;
}

void postNewItem(const PBItem &item)
{
    QVariantMap byCategory;
    for (const PBCategory &category : item.categories())
        byCategory.insert(category.id(), QVariant::fromValue(QList<PBItem>{item}));
    NotificationCenter::defaultCenter().post(
        NotificationName::historyDidAddNewItem, nullptr,
        {{NotificationKey::info, byCategory}, {NotificationKey::items, QVariant::fromValue(QList<PBItem>{item})}});
}

bool measure()
{
    HistoryScenes::registerAll();
    TaviPBManager &manager = TaviPBManager::shared();
    PBCategoryManager &categories = PBCategoryManager::shared();
    std::printf("history of %lld items in %lld categories; load average %s\n",
                static_cast<long long>(manager.itemCount()), static_cast<long long>(categories.categories().size()),
                loadAverage().constData());
    if (manager.itemCount() == 0) {
        std::printf("  nothing to measure: the history is empty\n");
        return false;
    }
    Bench::GuiStalls stalls;
    bool outsideMissing = false;

    {
        // What any first window of the process costs (fonts, the display connection), apart
        // from the bar's own showing: the program shows others before the bar.
        QElapsedTimer clock;
        clock.start();
        QLabel label(QStringLiteral("TaviPaste"));
        label.show();
        QApplication::processEvents();
        label.repaint();
        std::printf("  a plain label window, first of the process:     %8.1f ms\n", ms(clock.nsecsElapsed()));
    }
    {
        // The bar paints at once; its counts arrive from a count off the GUI thread.
        QElapsedTimer clock;
        clock.start();
        stalls.reset();
        MainWindowController window(categories, manager, PBScreenMonitor::shared());
        window.showBar();
        QApplication::processEvents();
        window.repaint();
        const double shown = ms(clock.nsecsElapsed());
        MainViewController *bar = window.contentViewController();
        const std::optional<double> stall = longestStall([bar] { return allCounted(*bar); });
        const double counted = ms(clock.nsecsElapsed());
        const QByteArray stalled = stalls.describe(&outsideMissing);
        if (!stall) {
            std::printf("  the bar's counts did NOT all arrive within 30 s\n");
            return false;
        }
        std::printf("  bar shown and painted (first):                  %8.1f ms\n", shown);
        std::printf("  every row's count known, off the GUI thread:   %8.1f ms  (%s)\n", counted, stalled.constData());
        window.hide();
        QApplication::processEvents();
        clock.restart();
        window.showBar();
        QApplication::processEvents();
        window.repaint();
        std::printf("  bar shown again with all %d counts:             %8.1f ms\n", bar->numberOfRows(),
                    ms(clock.nsecsElapsed()));
    }

    MainWindowController window(categories, manager, PBScreenMonitor::shared());
    window.showBar();
    MainViewController *bar = window.contentViewController();
    if (!longestStall([bar] { return allCounted(*bar); })) {
        std::printf("  the bar's counts did NOT all arrive within 30 s\n");
        return false;
    }
    const PBItem item = manager.getItemsPage(0, 1).value(0);
    CategoryCellView *row = nullptr;
    for (int i = 0; i < bar->numberOfRows(); ++i) {
        if (item.primaryCategory() && bar->categoryAt(i)->type() == item.primaryCategory()->type())
            row = bar->rowView(i);
    }
    if (!row) {
        std::printf("  NO row of the bar shows the newest item's category\n");
        return false;
    }
    const bool quick = qEnvironmentVariableIntValue("TAVI_BENCH_QUICK") == 1;
    QList<double> flashes;
    QList<double> recounts;
    stalls.reset();
    for (int round = 0; round < (quick ? 3 : 20); ++round) {
        QElapsedTimer clock;
        clock.start();
        postNewItem(item);
        const auto animating = [row] { return row->isAnimating(); };
        const auto still = [row] { return !row->isAnimating(); };
        if (!Bench::processUntil(animating)) {
            std::printf("  a new item did NOT flash its row\n");
            return false;
        }
        window.repaint();
        flashes.append(ms(clock.nsecsElapsed()));
        // An open row shows the new count instead.
        const auto openWithCount = [row] { return !row->isAnimating() && !row->countText().isEmpty(); };
        if (!Bench::processUntil(still))
            return false;
        row->pointerEntered();
        if (!Bench::processUntil(openWithCount)) {
            std::printf("  the row did NOT open with its count\n");
            return false;
        }
        const QString before = row->countText();
        QElapsedTimer recount;
        recount.start();
        postNewItem(item);
        if (!Bench::processUntil([row, &before] { return row->countText() != before; })) {
            std::printf("  the open row's count did NOT change for a new item\n");
            return false;
        }
        window.repaint();
        recounts.append(ms(recount.nsecsElapsed()));
        row->pointerExited();
        if (!Bench::processUntil(still))
            return false;
    }
    std::sort(flashes.begin(), flashes.end());
    std::sort(recounts.begin(), recounts.end());
    if (!flashes.isEmpty())
        std::printf("  new item to flash painted:      median %6.2f ms  max %6.2f ms\n", flashes.at(flashes.size() / 2),
                    flashes.last());
    if (!recounts.isEmpty())
        std::printf("  new item to open row's count:   median %6.2f ms  max %6.2f ms\n",
                    recounts.at(recounts.size() / 2), recounts.last());
    std::printf("  while new items flashed and recounted: %s\n", stalls.describe(&outsideMissing).constData());
    // Let the counts settle (the posted items are not stored: the quiet count takes them back).
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 2500)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!longestStall([bar] { return allCounted(*bar); }))
        return false;

    // Row animations: widen, narrow and flash every row in turn, timing each frame.
    FrameCosts costs;
    const auto add = [&costs](const FrameCosts &more) {
        costs.wall += more.wall;
        costs.processor += more.processor;
    };
    for (int i = 0; i < (quick ? std::min(3, bar->numberOfRows()) : bar->numberOfRows()); ++i) {
        CategoryCellView *cell = bar->rowView(i);
        cell->pointerEntered();
        add(frames(window, 260));
        cell->pointerExited();
        add(frames(window, 260));
        cell->showNewItemFlash();
        add(frames(window, 460));
    }
    for (QList<double> *list : {&costs.wall, &costs.processor}) {
        std::sort(list->begin(), list->end());
        std::printf("  animation frames (%s): %lld  p50 %5.2f ms  p99 %5.2f ms  max %5.2f ms  (over 16 ms: %lld)\n",
                    list == &costs.wall ? "wall time" : "GUI thread's processor time",
                    static_cast<long long>(list->size()), list->at(list->size() / 2),
                    list->at(qsizetype(list->size() * 0.99)), list->last(),
                    static_cast<long long>(std::count_if(list->begin(), list->end(), [](double c) { return c > 16; })));
    }
    std::printf("  load average at the end: %s\n", loadAverage().constData());
    if (outsideMissing) {
        std::printf("  NO stall timed from outside: the window answered no ping\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    return Bench::runSeedThenMeasure(argc, argv, kItems, seed, measure, {.platformFromEnvironment = true});
}
