// How long a list waits for its reads while the store is being written: the latency of a list's
// first page (50 rows of every item), of the count of every item, of a kind's count (as the
// colour bar counts it) and of a search's first page (a keyword about 1 in 250 items hold), read
// again and again while a write runs on another thread: a save of one 48 MB copy, a delete of
// 10,000 rows, and another connection's import-style write transaction that a small capture's
// save waits for. For each: the write's length, how many
// reads ended during it, their median and longest latency; and each read's latency with nothing
// written. One child process seeds the store, another measures (on a copy of it, since it
// changes it). A quick run (TAVI_BENCH_QUICK) saves 4 MB and deletes half of a small history. A
// figure that could not be taken exits with 1.
//
//   bench_list_reads [items]   (default 1000000)

#include "support/BenchDriver.h"
#include "support/BenchHistory.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/store/SearchIndex.h"

#include <SQLiteCpp/Database.h>

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <thread>

namespace {

constexpr qint64 kItems = 1000000;
constexpr qsizetype kPage = 50;

bool quick() { return !qEnvironmentVariableIsEmpty("TAVI_BENCH_QUICK"); }

struct Latencies {
    std::vector<double> page, count, kindCount, search;
};

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double longest(const std::vector<double> &values)
{
    return values.empty() ? 0 : *std::max_element(values.begin(), values.end());
}

double timed(const std::function<bool()> &read, bool &ok)
{
    QElapsedTimer clock;
    clock.start();
    ok = read() && ok;
    return double(clock.nsecsElapsed()) / 1e6;
}

PBCategory textKind()
{
    for (const PBCategory &category : PBCategoryManager::shared().categories())
        if (category.type() == PBDefaultCategory::text)
            return category;
    return {};
}

// One round of the three reads; false when one gave nothing.
bool readOnce(TaviPBManager &manager, const PBCategory &kind, Latencies &latencies)
{
    bool ok = true;
    latencies.page.push_back(
        timed([&] { return manager.getItemsPage(TaviPBManager::ListQuery{}, 0, kPage).size() == kPage; }, ok));
    latencies.count.push_back(timed([&] { return manager.itemCount(TaviPBManager::ListQuery{}) > 0; }, ok));
    latencies.kindCount.push_back(timed([&] { return manager.itemCount(kind) > 0; }, ok));
    TaviPBManager::ListQuery search;
    search.search = PBSearchFilter{{QStringLiteral("424")}};
    latencies.search.push_back(timed([&] { return !manager.getItemsPage(search, 0, kPage).isEmpty(); }, ok));
    return ok;
}

void print(const char *what, const Latencies &latencies)
{
    for (const auto &[name, values] :
         {std::pair{"page", &latencies.page}, std::pair{"count", &latencies.count},
          std::pair{"kind count", &latencies.kindCount}, std::pair{"search", &latencies.search}})
        std::printf("    %-10s %4zu reads, median %8.2f ms, longest %8.2f ms  (%s)\n", name, values->size(),
                    median(*values), longest(*values), what);
}

// Runs `write` on a thread of its own, reading the list meanwhile from this one until it ends.
bool measureDuring(const char *name, TaviPBManager &manager, const PBCategory &kind, const std::function<bool()> &start,
                   const std::function<bool()> &write)
{
    std::printf("  %s\n", name);
    std::atomic<bool> started = false;
    QElapsedTimer clock;
    clock.start();
    std::future<bool> writing = std::async(std::launch::async, [&] {
        const bool ok = start();
        started = true;
        return write() && ok;
    });
    while (!started)
        std::this_thread::yield();
    Latencies during;
    bool ok = true;
    while (writing.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        ok = readOnce(manager, kind, during) && ok;
    const double length = double(clock.nsecsElapsed()) / 1e6;
    const bool written = writing.get();
    std::printf("    the write took %.0f ms\n", length);
    print("during it", during);
    if (!written)
        std::printf("    the write failed\n");
    if (!ok)
        std::printf("    a read gave nothing\n");
    return written && ok && !during.page.empty();
}

bool measure()
{
    TaviPBManager &manager = TaviPBManager::shared();
    const auto context = CoreDataStack::shared().managedContext();
    const qsizetype items = manager.itemCount(TaviPBManager::ListQuery{});
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) < 0)
        load[0] = -1;
    std::printf("history of %lld items; load average %.2f\n", static_cast<long long>(items), load[0]);
    const PBCategory kind = textKind();
    if (items < 2 * kPage || kind.type() != PBDefaultCategory::text) {
        std::printf("  nothing to measure: the history has fewer than %lld items\n", static_cast<long long>(2 * kPage));
        return false;
    }
    bool measured = true;
    Latencies idle;
    for (int i = 0; i < 5; ++i)
        measured = readOnce(manager, kind, idle) && measured;
    std::printf("  nothing written\n");
    print("idle", idle);

    // A large copy's save.
    const qsizetype payloadBytes = quick() ? 4 * 1024 * 1024 : 48 * 1024 * 1024;
    QByteArray payload(payloadBytes, Qt::Uninitialized);
    QRandomGenerator generator(7);
    generator.fillRange(reinterpret_cast<quint32 *>(payload.data()), payload.size() / 4);
    CoreDataManager<PBItemRecord> records(context);
    const auto kinds = PBCategoryManager::shared().storage().fetch(
        Predicate::in(QStringLiteral("id"), {categoryId(PBDefaultCategory::all), categoryId(PBDefaultCategory::text)}));
    measured = measureDuring(
                   "a save of one copy of 48 MB (4 MB when quick)", manager, kind,
                   [&] {
                       context->performAndWait([&] {
                           auto record = records.newRecord();
                           record->setUuid(QUuid::createUuid());
                           record->setDataHash(QStringLiteral("large"));
                           record->addCategories(kinds.value_or(QList<std::shared_ptr<PBCategoryRecord>>()));
                           record->setCreatedAt(QDateTime::currentDateTime());
                           record->setModifiedAt(QDateTime::currentDateTime());
                           record->setText(QStringLiteral("large"));
                           record->setData(payload);
                       });
                       return true;
                   },
                   [&] { return context->save(); })
               && measured;

    // The oldest rows deleted at once.
    const qsizetype deleted = std::min<qsizetype>(10000, items / 2);
    std::printf("  (deleting %lld rows)\n", static_cast<long long>(deleted));
    auto oldest = PBItemRecord::fetchRequest();
    oldest.sortDescriptors = {{QStringLiteral("modifiedAt"), true}};
    oldest.fetchLimit = deleted;
    oldest.includesPropertyValues = false;
    const auto victims = context->fetch(oldest).value_or(QList<std::shared_ptr<PBItemRecord>>());
    QList<ManagedObjectPtr> objects(victims.cbegin(), victims.cend());
    measured = measureDuring(
                   "a delete of 10,000 rows", manager, kind, [] { return true; },
                   [&] {
                       return context->executeBatchDelete(PBItemRecord::entityDescription(), Predicate::selfIn(objects))
                           .has_value();
                   })
               && measured;
    context->mergeDeletedObjects(objects);

    // Another connection's write transaction (as a sync import's), which a capture's save waits for.
    const std::string path = context->store()->path().toStdString();
    measured = measureDuring(
                   "an import-style write on another connection, a small save waiting for it", manager, kind,
                   [] { return true; },
                   [&] {
                       SQLite::Database other(path, SQLite::OPEN_READWRITE, 10000);
                       SearchIndex::registerFunctions(other); // the index's triggers tokenize
                       other.exec("BEGIN IMMEDIATE");
                       other.exec("UPDATE \"PBItemRecord\" SET \"appName\" = \"appName\" || '' WHERE \"pk\" % 4 = 0");
                       std::future<bool> save = std::async(std::launch::async, [&] {
                           context->performAndWait([&] {
                               auto record = records.newRecord();
                               record->setUuid(QUuid::createUuid());
                               record->setDataHash(QStringLiteral("small"));
                               record->addCategories(kinds.value_or(QList<std::shared_ptr<PBCategoryRecord>>()));
                               record->setCreatedAt(QDateTime::currentDateTime());
                               record->setModifiedAt(QDateTime::currentDateTime());
                               record->setText(QStringLiteral("small"));
                           });
                           return context->save();
                       });
                       // The import goes on for a while after the save asked for the writer.
                       std::this_thread::sleep_for(std::chrono::milliseconds(quick() ? 200 : 1000));
                       other.exec("COMMIT");
                       return save.get();
                   })
               && measured;
    return measured;
}

} // namespace

int main(int argc, char *argv[])
{
    Bench::DriverOptions options;
    options.measureOnCopy = true;
    return Bench::runSeedThenMeasure(
        argc, argv, kItems,
        [](qint64 count) { Bench::seedHistory(count, [](qint64 i) { return QStringLiteral("copy %1").arg(i); }); },
        measure, options);
}
