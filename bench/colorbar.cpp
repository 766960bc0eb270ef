// Figures of the color bar over 1,000,000 items in 20 categories (the 8 built-in ones and 12 of
// the user's): the bar shown with every row's count, a new item's flash and count after
// "historyDidAddNewItem", and the cost of each frame of the row animations (software rendering).
// One child process seeds the store, another measures, so the measured one opens the history from
// disk as the program does.

#include "support/BenchDriver.h"
#include "support/BenchHistory.h"

#include "capture/TaviPBManager.h"
#include "colorbar/CategoryCellView.h"
#include "colorbar/MainViewController.h"
#include "colorbar/MainWindowController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/NotificationNames.h"
#include "core/PBItem.h"
#include "history/HistoryScenes.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 kItems = 1000000;
constexpr int kCustomCategories = 12;

void seed(qint64 count)
{
    auto context = CoreDataStack::shared().managedContext();
    PBCategoryManager categories(context);
    for (int i = 0; i < kCustomCategories; ++i)
        categories.add(PBCategory(std::nullopt, QStringLiteral("Custom %1").arg(i + 1), QColor::fromHsv(i * 30, 160, 200),
                                  Qt::white, PBDefaultCategory::custom, false, false));
    context->saveContext();
    QList<std::shared_ptr<PBCategoryRecord>> records = categories.storage().fetch(std::nullopt).value();
    std::shared_ptr<PBCategoryRecord> all;
    QList<std::shared_ptr<PBCategoryRecord>> kinds;
    QList<std::shared_ptr<PBCategoryRecord>> customs;
    for (const auto &record : records) {
        if (record->id() == categoryId(PBDefaultCategory::all))
            all = record;
        else if (record->id() == categoryId(PBDefaultCategory::text) || record->id() == categoryId(PBDefaultCategory::link))
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

double ms(qint64 nanoseconds)
{
    return double(nanoseconds) / 1e6;
}

// Runs the event loop for a while, timing every frame: the events that came in and one paint.
QList<double> frames(QWidget &window, int durationMs)
{
    QList<double> costs;
    QElapsedTimer total;
    total.start();
    while (total.elapsed() < durationMs) {
        QElapsedTimer clock;
        clock.start();
        QApplication::processEvents();
        window.repaint();
        costs.append(ms(clock.nsecsElapsed()));
        QElapsedTimer idle;
        idle.start();
        while (idle.elapsed() < 4)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 4);
    }
    return costs;
}

void measure()
{
    HistoryScenes::registerAll();
    TaviPBManager &manager = TaviPBManager::shared();
    PBCategoryManager &categories = PBCategoryManager::shared();
    std::printf("history of %lld items in %lld categories\n", static_cast<long long>(manager.itemCount()),
                static_cast<long long>(categories.categories().size()));

    for (const char *round : {"first", "again"}) {
        QElapsedTimer clock;
        clock.start();
        MainWindowController window(categories, manager, PBScreenMonitor::shared());
        window.showBar();
        MainViewController *bar = window.contentViewController();
        int counted = 0;
        for (int row = 0; row < bar->numberOfRows(); ++row)
            bar->countItems(*bar->categoryAt(row), [&counted](qsizetype) { ++counted; });
        while (counted < bar->numberOfRows())
            QApplication::processEvents();
        window.repaint();
        std::printf("  bar shown with all %d counts (%s):          %8.1f ms\n", bar->numberOfRows(), round, ms(clock.nsecsElapsed()));
    }

    MainWindowController window(categories, manager, PBScreenMonitor::shared());
    window.showBar();
    MainViewController *bar = window.contentViewController();
    QApplication::processEvents();
    const PBItem item = manager.getItemsPage(0, 1).value(0);
    CategoryCellView *row = nullptr;
    for (int i = 0; i < bar->numberOfRows(); ++i) {
        if (item.primaryCategory() && bar->categoryAt(i)->type() == item.primaryCategory()->type())
            row = bar->rowView(i);
    }
    QList<double> flashes;
    QList<double> recounts;
    for (int round = 0; round < 20 && row; ++round) {
        QElapsedTimer clock;
        clock.start();
        NotificationCenter::defaultCenter().post(NotificationName::historyDidAddNewItem, nullptr,
                                                 {{NotificationKey::items, QVariant::fromValue(QList<PBItem>{item})}});
        while (!row->isAnimating())
            QApplication::processEvents();
        window.repaint();
        flashes.append(ms(clock.nsecsElapsed()));
        while (row->isAnimating())
            QApplication::processEvents();
        // An open row refreshes its count instead.
        row->pointerEntered();
        while (row->isAnimating() || row->countText().isEmpty())
            QApplication::processEvents();
        QElapsedTimer recount;
        recount.start();
        const QString before = row->countText();
        bool done = false;
        bar->countItems(*row->category(), [&done](qsizetype) { done = true; });
        NotificationCenter::defaultCenter().post(NotificationName::historyDidAddNewItem, nullptr,
                                                 {{NotificationKey::items, QVariant::fromValue(QList<PBItem>{item})}});
        while (!done)
            QApplication::processEvents();
        QApplication::processEvents();
        window.repaint();
        recounts.append(ms(recount.nsecsElapsed()));
        (void)before;
        row->pointerExited();
        while (row->isAnimating())
            QApplication::processEvents();
    }
    std::sort(flashes.begin(), flashes.end());
    std::sort(recounts.begin(), recounts.end());
    if (!flashes.isEmpty())
        std::printf("  new item to flash painted:      median %6.2f ms  max %6.2f ms\n", flashes.at(flashes.size() / 2),
                    flashes.last());
    if (!recounts.isEmpty())
        std::printf("  new item to open row's count:   median %6.2f ms  max %6.2f ms\n", recounts.at(recounts.size() / 2),
                    recounts.last());

    // Row animations: widen, narrow and flash every row in turn, timing each frame.
    QList<double> costs;
    for (int i = 0; i < bar->numberOfRows(); ++i) {
        CategoryCellView *cell = bar->rowView(i);
        cell->pointerEntered();
        costs += frames(window, 260);
        cell->pointerExited();
        costs += frames(window, 260);
        cell->showNewItemFlash();
        costs += frames(window, 460);
    }
    std::sort(costs.begin(), costs.end());
    std::printf("  animation frames: %lld  p50 %5.2f ms  p99 %5.2f ms  max %5.2f ms  (over 16 ms: %lld)\n",
                static_cast<long long>(costs.size()), costs.at(costs.size() / 2), costs.at(qsizetype(costs.size() * 0.99)),
                costs.last(), static_cast<long long>(std::count_if(costs.begin(), costs.end(), [](double c) { return c > 16; })));
}

} // namespace

int main(int argc, char *argv[])
{
    return Bench::runSeedThenMeasure(argc, argv, kItems, seed, measure, {.platformFromEnvironment = true});
}
