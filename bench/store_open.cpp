// Opening a large history: fills a store with 100,000 items of two representations each, then,
// in a fresh process, opens it, builds the two history lists (pinned, then by "modifiedAt"
// descending), reads the first 50 rows and looks items up by hash. Prints times and memory growth.
//
//   bench_store_open [items] [folder]   (default: 100000 items in a temporary folder, removed afterwards)

#include "core/store/CoreDataManager.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

namespace {
int kItems = 100000; // the first argument may set another count
constexpr int kPinned = 20;
constexpr int kFirstPage = 50;

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double residentMegabytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

QString hashOf(int i) { return QStringLiteral("%1").arg(uint(i) * 2654435761u, 32, 16, QLatin1Char('0')); }

int populate(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    CoreDataStack stack(path);
    auto context = stack.managedContext();
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-400);
    const QByteArray html(600, 'h');
    for (int i = 0; i < kItems; ++i) {
        auto item = context->insertNewObject<PBItemRecord>();
        const QString text = QStringLiteral("Copied text number %1 with some words to search through").arg(i);
        item->setUuid(QUuid::createUuid());
        item->setDataHash(hashOf(i));
        item->setText(text);
        item->setAppName(QStringLiteral("Editor"));
        item->setAppId(QStringLiteral("org.example.editor"));
        item->setCreatedAt(start.addSecs(i * 60));
        item->setModifiedAt(start.addSecs(i * 60));
        if (i % (kItems / kPinned) == 0)
            item->setIs_sticky(true);
        auto plain = context->insertNewObject<PBPasteboardDataRecord>();
        plain->setType(QStringLiteral("public.utf8-plain-text"));
        plain->setData(text.toUtf8());
        auto rich = context->insertNewObject<PBPasteboardDataRecord>();
        rich->setType(QStringLiteral("public.html"));
        rich->setData(html);
        item->addPasteboards({plain, rich});
        if ((i + 1) % 10000 == 0 || i + 1 == kItems) {
            StoreError error;
            if (!context->save(&error)) {
                std::fprintf(stderr, "save failed: %s\n", qPrintable(error.text()));
                return 1;
            }
        }
    }
    std::printf("populate: %d items, %d representations in %.0f ms; store file %.1f MB\n", kItems, 2 * kItems,
                double(timer.elapsed()),
                double(QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size()) / 1048576.0);
    return 0;
}

int measure(const QString &path)
{
    const double before = residentMegabytes();
    const double cpuBefore = cpuMilliseconds();
    QElapsedTimer timer;
    timer.start();
    CoreDataStack stack(path);
    CoreDataManager<PBItemRecord> storage(stack.managedContext());
    const double opened = double(timer.nsecsElapsed()) / 1e6;
    storage.setupStickyFetchedResultsController();
    storage.setupFetchedResultsController(Predicate::equal(QStringLiteral("is_sticky"), false),
                                          {{QStringLiteral("modifiedAt"), false}});
    const qsizetype rows = storage.objectCount().value_or(0);
    const double listed = double(timer.nsecsElapsed()) / 1e6;
    const auto objects = storage.objectsPage(0, kFirstPage).value_or(QList<std::shared_ptr<PBItemRecord>>());
    qsizetype characters = 0;
    for (const auto &object : objects)
        characters += object->text().size() + object->appName().size() + object->modifiedAt().toString().size();
    const double firstPage = double(timer.nsecsElapsed()) / 1e6;
    const double after = residentMegabytes();
    const double cpu = cpuMilliseconds() - cpuBefore;

    QElapsedTimer lookups;
    lookups.start();
    const int kLookups = 200;
    int found = 0;
    for (int i = 0; i < kLookups; ++i)
        found += int(storage.fetch(Predicate::equal(QStringLiteral("dataHash"), hashOf((i * 7919) % kItems)))->size());
    const double perLookup = double(lookups.nsecsElapsed()) / 1e6 / kLookups;

    std::printf("open store: %.1f ms\n", opened);
    std::printf("open + both lists counted (%lld rows): %.1f ms\n", (long long)rows, listed);
    std::printf("open + first %d rows read: %.1f ms, %.1f ms of processor time (%lld characters)\n", kFirstPage,
                firstPage, cpu, (long long)characters);
    std::printf("resident memory: %.1f MB before, %.1f MB after, growth %.1f MB\n", before, after, after - before);
    std::printf("hash look-up: %.3f ms each (%d of %d found)\n", perLookup, found, kLookups);
    return rows == kItems && objects.size() == kFirstPage && found == kLookups ? 0 : 1;
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QStringLiteral("--measure")) {
        kItems = arguments[3].toInt();
        return measure(arguments[2]);
    }
    QStringList rest = arguments.mid(1);
    bool numeric = false;
    const int given = rest.isEmpty() ? 0 : rest.first().toInt(&numeric);
    if (numeric) {
        kItems = given;
        rest.removeFirst();
    }
    if (kItems < kPinned) {
        std::fprintf(stderr, "nothing to measure: %d items\n", kItems);
        return 1;
    }
    QTemporaryDir temporary;
    const QString folder = !rest.isEmpty() ? rest.first() : temporary.path();
    const QString path = folder + QStringLiteral("/PBHistory.sqlite");
    if (!QFileInfo::exists(path) && populate(path) != 0)
        return 1;
    std::fflush(stdout);
    // A fresh process, so nothing of the store is in memory yet.
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure"), path, QString::number(kItems)});
    child.waitForFinished(-1);
    return child.exitCode();
}
