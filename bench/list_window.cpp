// Figures of the history list window over 1,000,000 items (half texts, a tenth images, the rest
// links): opening the All and the Text category to the first rows painted; what a page costs to
// read at its depth, cold and then the page after it; scrolling a page at a time at 60 frames a
// second (per-frame p50 and p99 of the frames whose rows were painted with their items; frames
// that painted rows still unread are counted apart, with their share); the memory the open list
// adds; and the list's search in the All and the Text category to its first rows for a keyword
// one item in a thousand holds (each category's real share is printed). A list that does not show
// its rows or its count in time is a failure: the program then exits with 1.
//
//   bench_list_window [items]   (default 1000000)
// TAVI_BENCH_PARTS picks some of the figures. One child process seeds the store, another
// measures, so the measured one opens the history from disk as the program does. With
// QT_QPA_PLATFORM=xcb the list is on the X server and the scrolling's longest stall is also
// timed from outside the process, by a client pinging the list's window.

#include "support/BenchDriver.h"
#include "support/BenchHistory.h"
#include "support/MachinePauses.h"
#include "support/WindowPing.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/store/SearchIndex.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "platform/x11/X11WindowPing.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>

#include <algorithm>
#include <optional>
#include <cstdio>
#include <cstring>

namespace {

constexpr qint64 kItems = 1000000;

QByteArray tinyPng()
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

void seed(qint64 count)
{
    auto context = CoreDataStack::shared().managedContext();
    PBCategoryManager categories(context);
    QHash<QString, std::shared_ptr<PBCategoryRecord>> byId;
    const auto stored = categories.storage().fetch(std::nullopt); // kept: the loop reads into it
    for (const auto &record : stored.value())
        byId.insert(record->id(), record);
    const auto all = byId.value(categoryId(PBDefaultCategory::all));
    const auto text = byId.value(categoryId(PBDefaultCategory::text));
    const auto link = byId.value(categoryId(PBDefaultCategory::link));
    const auto image = byId.value(categoryId(PBDefaultCategory::image));
    CoreDataManager<PBItemRecord> items(context);
    CoreDataManager<PBPasteboardDataRecord> pasteboards(context);
    const QByteArray png = tinyPng();
    const QDateTime start = QDateTime::currentDateTime().addSecs(-count);
    for (qint64 i = 0; i < count; ++i) {
        auto record = items.newRecord();
        record->setUuid(QUuid::createUuid());
        record->setCreatedAt(start.addSecs(i));
        record->setModifiedAt(start.addSecs(i));
        record->setAppName(QStringLiteral("Text Editor"));
        auto pasteboard = pasteboards.newRecord();
        QString shown;
        if (i % 10 == 0) {
            shown = QStringLiteral("image-%1.png").arg(i);
            record->addCategories({all, image});
            record->setData(png);
            pasteboard->setType(PasteboardType::png);
            pasteboard->setData(png);
        } else if (i % 2 == 1) {
            shown = i % 1000 == 1
                        ? QStringLiteral("Copied needle text %1 with a few more words").arg(i)
                        : QStringLiteral("Copied text number %1 with some more words to make it a usual copy").arg(i);
            record->addCategories({all, text});
            pasteboard->setType(PasteboardType::string);
            pasteboard->setData(shown.toUtf8());
        } else {
            shown = QStringLiteral("https://example.com/articles/%1").arg(i);
            record->addCategories({all, link});
            pasteboard->setType(PasteboardType::string);
            pasteboard->setData(shown.toUtf8());
        }
        record->setText(shown);
        record->setDataHash(md5(shown));
        record->addPasteboardsObject(pasteboard);
        if ((i + 1) % 50000 == 0 || i + 1 == count) {
            context->saveContext();
            std::fprintf(stderr, "\rseeded %lld", static_cast<long long>(i + 1));
        }
    }
    std::fprintf(stderr, "\n");
}

double ms(qint64 nanoseconds) { return double(nanoseconds) / 1e6; }

PBCategory kind(PBDefaultCategory type)
{
    for (const PBCategory &category : PBCategoryManager::shared().categories()) {
        if (category.type() == type)
            return category;
    }
    return PBCategory::all();
}

// Events until the list has its rows and every visible row's item; then one paint.
bool waitForRows(CategoryListViewController *view)
{
    QElapsedTimer deadline;
    deadline.start();
    CategoryListTableView *table = view->itemsTableView;
    while (deadline.elapsed() < 10000) {
        QApplication::processEvents();
        if (view->isLoading() || view->numberOfRows() == 0)
            continue;
        const QModelIndex first = table->indexAt(QPoint(10, 10));
        if (first.isValid() && view->model->cachedItem(first.row())) {
            table->viewport()->repaint();
            return true;
        }
    }
    return false;
}

// Events until the list has its count: no longer loading, and more rows than its first page
// unless the whole list fits in it. The ms that took; none when it did not come within 20 s.
std::optional<double> waitForCount(CategoryListViewController *view,
                                   int expectedAtLeast = CategoryListModel::kPageSize + 1)
{
    QElapsedTimer counting;
    counting.start();
    while (view->isLoading() || view->numberOfRows() < expectedAtLeast) {
        if (counting.elapsed() > 20000) {
            std::printf("  the count did NOT arrive within 20 s (%d rows listed)\n", view->numberOfRows());
            return std::nullopt;
        }
        QApplication::processEvents();
    }
    return double(counting.elapsed());
}

// Whether every row the list shows has its item read: a frame that painted an unread row
// painted it empty.
bool visibleRowsRead(CategoryListTableView *table, const CategoryListModel &model)
{
    const QModelIndex first = table->indexAt(QPoint(1, 1));
    if (!first.isValid())
        return false;
    const QModelIndex last = table->indexAt(QPoint(1, table->viewport()->height() - 1));
    const int lastRow = last.isValid() ? last.row() : model.rowCount() - 1;
    for (int row = first.row(); row <= lastRow; ++row) {
        if (!model.cachedItem(row))
            return false;
    }
    return true;
}

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    return values.at(std::min<qsizetype>(values.size() - 1, qsizetype(p * double(values.size()))));
}

// Scrolling frames: the time of those that painted their rows' items, and how many painted
// rows still unread. Frames come at most at 60 Hz, as a display shows them: between two, the
// events that arrive (pages read off the GUI thread) are served. `longestOwn` is the longest
// painted frame less the machine's pauses inside it (MachinePauses).
struct Frames {
    QList<double> painted;
    double longestOwn = 0;
    qint64 empty = 0;
    QElapsedTimer sinceLast;
    const qint64 startedAt = Bench::MachinePauses::now();
};

constexpr qint64 kFrameNs = 1000000000 / 60;

// One frame: the scroll, the events that arrived, one paint; its time is the frame's work.
void frame(CategoryListViewController *view, int value, Frames &frames)
{
    if (frames.sinceLast.isValid()) {
        while (frames.sinceLast.nsecsElapsed() < kFrameNs)
            QApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    frames.sinceLast.start();
    CategoryListTableView *table = view->itemsTableView;
    QElapsedTimer clock;
    clock.start();
    const qint64 start = Bench::MachinePauses::now();
    table->verticalScrollBar()->setValue(value);
    QApplication::processEvents();
    table->viewport()->repaint();
    const double took = ms(clock.nsecsElapsed());
    if (visibleRowsRead(table, *view->model)) {
        frames.painted.append(took);
        const qint64 paused = Bench::MachinePauses::shared().pausedNs(start, Bench::MachinePauses::now());
        frames.longestOwn = std::max(frames.longestOwn, took - ms(paused));
    } else
        ++frames.empty;
}

void printFrames(const char *what, const Frames &frames)
{
    const QList<double> &painted = frames.painted;
    std::printf(
        "  %-44s %6lld frames  p50 %6.2f ms  p99 %6.2f ms  max %6.2f ms; %lld frames painted unread rows (%.1f%%)\n",
        what, static_cast<long long>(painted.size()), percentile(painted, 0.5), percentile(painted, 0.99),
        percentile(painted, 1.0), static_cast<long long>(frames.empty),
        100.0 * double(frames.empty) / double(std::max<qint64>(1, painted.size() + frames.empty)));
    std::printf("    longest frame less the machine's pauses: %.2f ms; %s\n", frames.longestOwn,
                Bench::MachinePauses::shared().describeSince(frames.startedAt).constData());
}

bool measureOpen(CategoryListViewController *view)
{
    bool measured = true;
    for (const PBDefaultCategory type : {PBDefaultCategory::all, PBDefaultCategory::text}) {
        for (const char *round : {"first", "again"}) {
            QElapsedTimer clock;
            clock.start();
            view->updateUI(kind(type));
            const bool shown = waitForRows(view);
            std::printf("  open %-5s to first rows painted (%s):      %8.1f ms%s\n", qPrintable(rawValue(type)), round,
                        ms(clock.nsecsElapsed()), shown ? "" : "  (rows NOT shown within 10 s)");
            measured = measured && shown;
        }
    }
    return measured;
}

bool measureScroll(CategoryListViewController *view, qint64 items, double before, double privateBefore)
{
    view->updateUI(kind(PBDefaultCategory::all));
    // Let the count arrive: the scroll bar then spans the whole list.
    const std::optional<double> counted = waitForRows(view) ? waitForCount(view, int(items)) : std::nullopt;
    if (!counted) {
        std::printf("  the All list did NOT show its %lld rows: no scrolling measured\n",
                    static_cast<long long>(items));
        return false;
    }
    std::printf("  rows in the All list: %d (count after %.1f ms)\n", view->numberOfRows(), *counted);
    // What a page costs to read at each depth: a prefetch helps only while a read takes less time
    // than the frames it reads ahead of.
    for (const double depth : {0.0, 0.1, 0.5, 0.9}) {
        const qsizetype row = qsizetype(depth * double(items - CategoryListModel::kPageSize));
        QElapsedTimer clock;
        clock.start();
        const qsizetype read =
            TaviPBManager::shared().getItemsPage(view->model->query(), row, CategoryListModel::kPageSize).size();
        std::printf("  a page of %lld rows read at row %lld: %.1f ms", static_cast<long long>(read),
                    static_cast<long long>(row), ms(clock.nsecsElapsed()));
        // The page after one already read, as scrolling reads them.
        clock.restart();
        TaviPBManager::shared().getItemsPage(view->model->query(), row + CategoryListModel::kPageSize,
                                             CategoryListModel::kPageSize);
        std::printf("; the next one then: %.1f ms\n", ms(clock.nsecsElapsed()));
    }
    CategoryListTableView *table = view->itemsTableView;
    QScrollBar *bar = table->verticalScrollBar();
    const int page = std::max(1, table->viewport()->height());
    // From outside: a client pings the list's window while it scrolls.
    std::optional<Bench::WindowPing> ping;
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        X11WindowPing::install();
        ping.emplace();
        if (!ping->start(QCoreApplication::applicationPid(), 10000))
            ping.reset();
    }
    const auto printOutside = [&ping] {
        const std::optional<Bench::WindowPing::Report> outside = ping ? ping->report() : std::nullopt;
        if (!ping)
            std::printf("    (not on an X server: no stall timed from outside)\n");
        else if (!outside || outside->pings == 0)
            std::printf("    the window answered NO ping: no stall timed from outside\n");
        else
            std::printf("    longest answer to a window ping from outside: %.1f ms (%lld pings)\n", outside->longestMs,
                        static_cast<long long>(outside->pings));
        if (ping)
            ping->reset();
    };
    if (ping)
        ping->reset();
    Frames consecutive;
    for (int value = 0, i = 0; i < 3000 && value <= bar->maximum(); value += page, ++i)
        frame(view, value, consecutive);
    printFrames("page by page from the top (3000 pages)", consecutive);
    printOutside();
    // The whole way down, a page at a time but every stride-th page painted.
    const int stride = std::max(1, bar->maximum() / page / 3000);
    Frames across;
    for (qint64 value = 0; value <= bar->maximum(); value += qint64(page) * stride)
        frame(view, int(value), across);
    for (int i = 0; i < 200; ++i)
        frame(view, std::max(0, bar->maximum() - i * page), across);
    printFrames("top to bottom (every page stride, then 200 at the end)", across);
    printOutside();
    std::printf("  (stride %d pages of %d px)\n", stride, page);
    for (int i = 0; i < 200; ++i)
        QApplication::processEvents();
    const double after = Bench::residentMegabytes();
    const double privateAfter = Bench::privateMegabytes();
    std::printf("  memory added by the open list:               %8.1f MB private (pages in memory: %d)\n",
                privateAfter - privateBefore, view->model->cachedPageCount());
    std::printf("  resident memory added:                       %8.1f MB\n", after - before);
    if (consecutive.painted.isEmpty() || across.painted.isEmpty()) {
        std::printf("  NO scrolling frame painted its rows' items\n");
        return false;
    }
    return true;
}

bool measureSearch(CategoryListViewController *view)
{
    bool measured = true;
    // TAVI_BENCH_SORTED=1: the search sorts its matches without first walking the list against them.
    if (qEnvironmentVariableIntValue("TAVI_BENCH_SORTED") == 1) {
        SearchIndex::Tuning tuning = SearchIndex::tuning();
        tuning.walkStepsPerMatch = 0;
        tuning.countWalkSteps = 0;
        SearchIndex::setTuning(tuning);
    }
    // TAVI_BENCH_KEYWORD: another keyword ("image-12": about 1 in 900 items, all of them old).
    const QString keyword = qEnvironmentVariable("TAVI_BENCH_KEYWORD", QStringLiteral("needle"));
    // The search is typed into a list that has settled: its rows shown and its count arrived.
    for (const PBDefaultCategory type : {PBDefaultCategory::all, PBDefaultCategory::text}) {
        view->itemSearchTextfield->clear();
        view->updateUI(kind(type));
        waitForRows(view);
        int listed = 0;
        for (const char *round : {"first", "again"}) {
            view->itemSearchTextfield->clear();
            if (!waitForRows(view) || !waitForCount(view))
                return false;
            listed = view->numberOfRows();
            QElapsedTimer clock;
            clock.start();
            view->itemSearchTextfield->setText(keyword);
            const bool shown = waitForRows(view);
            std::printf("  search %-5s \"%s\" to first rows (%s): %8.1f ms%s\n", qPrintable(rawValue(type)),
                        qPrintable(keyword), round, ms(clock.nsecsElapsed()),
                        shown ? "" : "  (rows NOT shown within 10 s)");
            measured = measured && shown;
        }
        const std::optional<double> counted = waitForCount(view, 1);
        if (!counted)
            return false;
        const int matches = view->numberOfRows();
        std::printf("  search matches counted: %d of the %d items of %s (1 in %.0f) after %.1f ms more\n", matches,
                    listed, qPrintable(rawValue(type)), matches > 0 ? double(listed) / matches : 0.0, *counted);
    }
    return measured;
}

bool measure()
{
    HistoryScenes::registerAll();
    TaviPBManager &manager = TaviPBManager::shared();
    const qint64 items = manager.itemCount();
    std::printf("history of %lld items\n", static_cast<long long>(items));
    if (items == 0) {
        std::printf("  nothing to measure: the history is empty\n");
        return false;
    }
    const double before = Bench::residentMegabytes();
    const double privateBefore = Bench::privateMegabytes();
    CategoryWindowController window(manager);
    window.resize(380, 720);
    window.show();
    CategoryListViewController *view = window.contentViewController();
    // TAVI_BENCH_PARTS names the figures to take ("open,scroll,search"); all by default.
    const QString parts = qEnvironmentVariable("TAVI_BENCH_PARTS", QStringLiteral("open,scroll,search"));
    bool measured = true;
    if (parts.contains(QStringLiteral("open")))
        measured = measureOpen(view) && measured;
    if (parts.contains(QStringLiteral("scroll")))
        measured = measureScroll(view, items, before, privateBefore) && measured;
    if (parts.contains(QStringLiteral("search")))
        measured = measureSearch(view) && measured;
    return measured;
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::DriverOptions options;
    options.platformFromEnvironment = true;
    return Bench::runSeedThenMeasure(argc, argv, kItems, seed, measure, options);
}
