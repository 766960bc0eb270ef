// Figures of the history search at 100,000 and 1,000,000 items, in a history of plain ASCII texts
// and in one where a third of the texts carry accents: the first page of 50 and the count for a
// keyword one item holds, none holds, one in a thousand holds, nearly all hold, and "café"
// against "Café" and "cafe"; the cost of a copy with and without the index; the store's size
// before and after the index; and how an existing store opened by this build answers while its
// index is built in the background. Each history is seeded by one child process, without the
// index (as an older build left it), and measured by another. Each keyword's answer through the
// index (its count and first page) is checked against a full scan's; a difference, an index
// that is never built or a copy that is not taken exits with 1. Once the index is built, the
// history list is opened and a keyword typed into its search, first and again: the time to its
// first rows and the GUI thread's longest stall until its matches are counted, timed inside the
// process and, with QT_QPA_PLATFORM=xcb (offscreen otherwise), from outside it by a client
// pinging a window of the process. A list that shows no rows, or (on X) a window that answers no
// ping, exits with 1 too.
//
//   bench_search [items]   (default: 100000, then 1000000)

#include "support/BenchHistory.h"
#include "support/GuiStalls.h"
#include "support/ProcessUntil.h"

#include "capture/TaviPBManager.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/store/CoreDataStack.h"
#include "core/store/SearchIndex.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"
#include "platform/memory/FakeWorkspace.h"
#include "platform/memory/MemoryPasteboard.h"

#include <SQLiteCpp/Database.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Pseudo-words of a few syllables (no x, q or y, so the "none" keyword stays absent).
QStringList vocabulary(bool accented)
{
    static const QString consonants = QStringLiteral("bcdfghjklmnprstvwz");
    static const QString vowels = QStringLiteral("aeiou");
    static const QString accents = QStringLiteral("éèáàüöñçâî");
    QRandomGenerator random(7);
    QStringList words;
    for (int i = 0; i < 3000; ++i) {
        QString word;
        for (int s = 1 + random.bounded(3); s > 0; --s) {
            word += consonants.at(random.bounded(int(consonants.size())));
            word += vowels.at(random.bounded(int(vowels.size())));
        }
        if (accented && random.bounded(3) != 0)
            word[random.bounded(int(word.size()))] = accents.at(random.bounded(int(accents.size())));
        words << word;
    }
    return words;
}

QString textOf(qint64 i, qint64 count, bool accentedHistory)
{
    static const QStringList plain = vocabulary(false);
    static const QStringList accented = vocabulary(true);
    const QStringList &words = accentedHistory && i % 3 == 0 ? accented : plain;
    QRandomGenerator random(quint32(i * 2654435761u + (accentedHistory ? 1 : 0)));
    QStringList parts;
    const int length = 4 + random.bounded(24);
    for (int w = 0; w < length; ++w) // a rough Zipf: common words come up often
        parts << words.at(
            std::min<int>(int(words.size()) - 1, int(random.bounded(1.0) * random.bounded(1.0) * words.size())));
    auto place = [&](const QString &phrase) { parts.insert(random.bounded(int(parts.size()) + 1), phrase); };
    if (i % 100 != 0)
        place(QStringLiteral("notes"));
    if (i % 1000 == 7)
        place(QStringLiteral("quarterly report"));
    if (i == count / 2)
        place(QStringLiteral("zanzibar quokka"));
    if (i % 500 == 3) {
        static const QStringList plainCafes = {QStringLiteral("cafe"), QStringLiteral("Cafe"), QStringLiteral("CAFE")};
        static const QStringList accentedCafes = {QStringLiteral("café"), QStringLiteral("Café"),
                                                  QStringLiteral("CAFÉ"), QStringLiteral("cafe")};
        const QStringList &cafes = accentedHistory ? accentedCafes : plainCafes;
        place(cafes.at(int(i / 500) % cafes.size()));
    }
    QString text = parts.join(QLatin1Char(' '));
    text[0] = text.at(0).toUpper();
    return text;
}

QString appOf(qint64 i)
{
    static const QStringList apps = {QStringLiteral("Text Editor"), QStringLiteral("Firefox"),
                                     QStringLiteral("Terminal"),    QStringLiteral("Files"),
                                     QStringLiteral("Mail"),        QStringLiteral("Visual Studio Code")};
    return apps.at(int(i % apps.size()));
}

const char *const kDropIndex = R"sql(
DROP TRIGGER IF EXISTS "PBItemRecord_search_insert"; DROP TRIGGER IF EXISTS "PBItemRecord_search_delete";
DROP TRIGGER IF EXISTS "PBItemRecord_search_update"; DROP TABLE IF EXISTS "PBItemRecord_search";
DROP TABLE IF EXISTS "PBItemRecord_search_long"; DROP TABLE IF EXISTS "PBItemRecord_search_state";)sql";

// A connection of the benchmark's own, able to change the index's tables.
std::unique_ptr<SQLite::Database> connect(const std::string &path)
{
    auto database = std::make_unique<SQLite::Database>(path, SQLite::OPEN_READWRITE, 10000);
    SearchIndex::registerFunctions(*database);
    return database;
}

void seed(qint64 count, bool accented)
{
    // The store as a build without the index leaves it: seeded without the triggers, then the
    // index and its schema version taken away.
    const std::string path = CoreDataStack::shared().storePath().toStdString();
    connect(path)->exec(R"sql(DROP TRIGGER "PBItemRecord_search_insert";
        DROP TRIGGER "PBItemRecord_search_delete"; DROP TRIGGER "PBItemRecord_search_update";)sql");
    Bench::seedHistory(
        count, [&](qint64 i) { return textOf(i, count, accented); }, appOf);
    const auto database = connect(path);
    database->exec(kDropIndex);
    database->exec("PRAGMA user_version = 1");
}

double ms(qint64 nanoseconds) { return double(nanoseconds) / 1e6; }

template <class Work>
double medianMs(int runs, Work work)
{
    QList<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work();
        times << ms(timer.nsecsElapsed());
    }
    std::sort(times.begin(), times.end());
    return times.at(times.size() / 2);
}

// Whether the list shows rows, the first of them with its item read.
bool rowsShown(CategoryListViewController *view)
{
    if (view->isLoading() || view->numberOfRows() == 0)
        return false;
    const QModelIndex first = view->itemsTableView->indexAt(QPoint(10, 10));
    return first.isValid() && view->model->cachedItem(first.row()).has_value();
}

// The history list opened on All, then the keyword typed into its search, the first time in the
// process and again: the time to the first rows painted, and the GUI thread's longest stall from
// the typing until the matches are counted.
bool measureListSearch(TaviPBManager &manager, const QString &keyword, qsizetype expected,
                       const std::function<void(const QString &)> &say)
{
    HistoryScenes::registerAll();
    CategoryWindowController window(manager);
    window.resize(380, 720);
    window.show();
    CategoryListViewController *view = window.contentViewController();
    view->updateUI(PBCategory::all());
    Bench::GuiStalls stalls;
    bool measured = true;
    for (const char *round : {"first", "again"}) {
        view->itemSearchTextfield->clear();
        const int listed = int(manager.itemCount());
        if (!Bench::processUntil([&] { return rowsShown(view) && view->numberOfRows() == listed; })) {
            say(QStringLiteral("the list did NOT show its %1 rows").arg(listed));
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        stalls.reset();
        view->itemSearchTextfield->setText(keyword);
        const bool shown = Bench::processUntil([&] { return rowsShown(view); });
        view->itemsTableView->viewport()->repaint();
        const double firstRows = double(clock.nsecsElapsed()) / 1e6;
        const bool counted =
            shown && Bench::processUntil([&] { return !view->isLoading() && view->numberOfRows() == expected; });
        const double countedMs = double(clock.nsecsElapsed()) / 1e6;
        bool outsideMissing = false;
        const QByteArray stalled = stalls.describe(&outsideMissing);
        say(QStringLiteral("list search \"%1\" (%2) after opening the list: first rows painted %3 ms, %4 matches "
                           "counted %5 ms; %6")
                .arg(keyword, QString::fromLatin1(round))
                .arg(shown ? QString::number(firstRows, 'f', 1) : QStringLiteral("NOT within 30 s"))
                .arg(view->numberOfRows())
                .arg(counted ? QString::number(countedMs, 'f', 1) : QStringLiteral("NOT within 30 s"))
                .arg(QString::fromLatin1(stalled)));
        if (outsideMissing)
            say(QStringLiteral("NO stall timed from outside: the window answered no ping"));
        measured = measured && shown && counted && !outsideMissing;
    }
    view->itemSearchTextfield->clear();
    return measured;
}

struct Sizes {
    double storeMb = 0, indexMb = 0, textMb = 0;
};

Sizes sizes(const QString &path)
{
    SQLite::Database database(path.toStdString(), SQLite::OPEN_READWRITE);
    database.exec("PRAGMA wal_checkpoint(TRUNCATE)");
    Sizes result;
    result.storeMb = QFileInfo(path).size() / 1e6;
    result.indexMb =
        database
            .execAndGet(
                R"sql(SELECT coalesce(sum(pgsize), 0) FROM dbstat WHERE name LIKE 'PBItemRecord!_search%' ESCAPE '!')sql")
            .getInt64()
        / 1e6;
    result.textMb =
        database
            .execAndGet(
                R"sql(SELECT sum(length(CAST("text" AS BLOB)) + coalesce(length(CAST("appName" AS BLOB)), 0)) FROM "PBItemRecord")sql")
            .getInt64()
        / 1e6;
    return result;
}

double captureMsPerCopy(TaviPBManager &manager, MemoryPasteboard &pasteboard, int round)
{
    int added = 0;
    const auto token = NotificationCenter::defaultCenter().addObserver(NotificationName::historyDidAddNewItem,
                                                                       [&](const Notification &) { ++added; });
    constexpr int kCopies = 40;
    QElapsedTimer timer;
    double total = 0;
    for (int i = 0; i < kCopies; ++i) {
        PasteboardItem item;
        item.setString(
            PasteboardType::string,
            QStringLiteral("A fresh copy %1 of round %2 made while measuring, with some words").arg(i).arg(round));
        timer.start();
        pasteboard.simulateCopy({item});
        manager.retreivePasteboardInfo();
        QElapsedTimer deadline;
        deadline.start();
        while (added <= i && deadline.elapsed() < 5000)
            QCoreApplication::processEvents();
        if (added <= i)
            return -1; // the copy was not taken
        manager.saveNow();
        total += ms(timer.nsecsElapsed());
    }
    NotificationCenter::defaultCenter().removeObserver(token);
    return total / kCopies;
}

bool measure(qint64 count, bool accented)
{
    const char *kind = accented ? "accented" : "plain";
    const QString label = QStringLiteral("%1 %2 items").arg(QString::fromLatin1(kind), -8).arg(count, 8);
    auto say = [&](const QString &line) {
        std::printf("%s: %s\n", qPrintable(label), qPrintable(line));
        std::fflush(stdout);
    };
    MemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    RunningApplication editor;
    editor.localizedName = QStringLiteral("Text Editor");
    editor.bundleIdentifier = QStringLiteral("org.gnome.TextEditor");
    workspace.setFrontmostApplication(editor);

    QElapsedTimer sinceOpen;
    sinceOpen.start();
    auto context = CoreDataStack::shared().managedContext();
    PBCategoryManager categories(context);
    TaviPBManager manager(pasteboard, workspace, categories);
    manager.itemCount();
    const double openMs = ms(sinceOpen.nsecsElapsed());
    SearchIndex &index = context->store()->searchIndex();
    const bool readyAtOpen = index.isReady();
    const PBSearchFilter rare{{QStringLiteral("quarterly report")}};
    QElapsedTimer timer;
    timer.start();
    const qsizetype page = manager.getFilterItemsPage(rare, 0, 50).size();
    const double pageDuringBuild = ms(timer.nsecsElapsed());
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (loadAverage.open(QIODevice::ReadOnly))
        say(QStringLiteral("machine load (1, 5, 15 min): %1")
                .arg(QString::fromLatin1(loadAverage.readAll().split(' ').mid(0, 3).join(", "))));
    say(QStringLiteral("opened (migrated) in %1 ms; index %2; a search meanwhile (%3) showed its first %4 in %5 ms")
            .arg(openMs, 0, 'f', 1)
            .arg(readyAtOpen ? QStringLiteral("ready") : QStringLiteral("building"))
            .arg(index.isReady() ? QStringLiteral("by index") : QStringLiteral("by scan"))
            .arg(page)
            .arg(pageDuringBuild, 0, 'f', 1));
    if (!index.waitUntilReady(30 * 60 * 1000)) {
        say(QStringLiteral("index NOT built"));
        return false;
    }
    say(QStringLiteral("index built in the background, ready %1 s after opening")
            .arg(ms(sinceOpen.nsecsElapsed()) / 1000, 0, 'f', 1));

    const Sizes size = sizes(CoreDataStack::shared().storePath());
    say(QStringLiteral(
            "store %1 MB before the index, %2 MB with it: the index takes %3 MB, %4 x the %5 MB of searched text")
            .arg(size.storeMb - size.indexMb, 0, 'f', 1)
            .arg(size.storeMb, 0, 'f', 1)
            .arg(size.indexMb, 0, 'f', 1)
            .arg(size.indexMb / size.textMb, 0, 'f', 2)
            .arg(size.textMb, 0, 'f', 1));

    const QList<std::pair<QString, QString>> keywords = {
        {QStringLiteral("one item holds"), QStringLiteral("zanzibar quokka")},
        {QStringLiteral("none holds"), QStringLiteral("xylophone umbra")},
        {QStringLiteral("1 in 1000 hold"), QStringLiteral("quarterly report")},
        {QStringLiteral("nearly all hold"), QStringLiteral("notes")},
        {QStringLiteral("1 in 500 hold"), QStringLiteral("café")},
        {QStringLiteral("1 in 500 hold"), QStringLiteral("Café")},
        {QStringLiteral("1 in 500 hold"), QStringLiteral("cafe")},
    };
    auto scanRequest = [](const QString &keyword) {
        auto request = PBItemRecord::fetchRequest();
        request.predicate = Predicate::contains(QStringLiteral("text"), keyword)
                            || Predicate::contains(QStringLiteral("appName"), keyword);
        request.sortDescriptors = {{QStringLiteral("is_sticky"), false}, {QStringLiteral("modifiedAt"), false}};
        return request;
    };
    {
        // Cold: the first search of the process through the index, before the keywords below
        // warm it; its matches counted by a scan.
        const QString keyword = QStringLiteral("quarterly report");
        if (!measureListSearch(manager, keyword, context->count(scanRequest(keyword)).value_or(-1), say))
            return false;
    }
    bool agreed = true;
    for (const auto &[what, keyword] : keywords) {
        const PBSearchFilter search{{keyword}};
        QList<PBItem> shown;
        qsizetype found = 0;
        const double pageMs = medianMs(5, [&] { shown = manager.getFilterItemsPage(search, 0, 50); });
        const double countMs = medianMs(5, [&] { found = manager.filterItemCount(search); });
        // Before the index: the plain scan, once.
        auto request = scanRequest(keyword);
        qsizetype scanned = -1;
        const double scanCountMs = medianMs(1, [&] { scanned = context->count(request).value_or(-1); });
        request.fetchLimit = 50;
        QList<QUuid> scannedPage;
        const double scanPageMs = medianMs(1, [&] {
            scannedPage.clear();
            for (const auto &record : context->fetch(request).value_or(QList<std::shared_ptr<PBItemRecord>>()))
                scannedPage.append(record->uuid());
        });
        QList<QUuid> shownPage;
        for (const PBItem &item : shown)
            shownPage.append(item.uuid());
        if (found != scanned || shownPage != scannedPage) {
            say(QStringLiteral("%1: the index's answer DIFFERS from the scan's: %2 found and %3 shown against %4 and "
                               "%5 (first pages %6)")
                    .arg(QLatin1Char('"') + keyword + QLatin1Char('"'))
                    .arg(found)
                    .arg(shownPage.size())
                    .arg(scanned)
                    .arg(scannedPage.size())
                    .arg(shownPage == scannedPage ? QStringLiteral("equal") : QStringLiteral("differ")));
            agreed = false;
        }
        say(QStringLiteral("%1 %2 (%3 found): first page of %4 %5 ms, count %6 ms  [scan before: %7 ms, %8 ms]")
                .arg(QLatin1Char('"') + keyword + QLatin1Char('"'), -18)
                .arg(what, -16)
                .arg(found, 7)
                .arg(shown.size(), 2)
                .arg(pageMs, 6, 'f', 1)
                .arg(countMs, 6, 'f', 1)
                .arg(scanPageMs, 0, 'f', 1)
                .arg(scanCountMs, 0, 'f', 1));
    }

    const double withIndex = captureMsPerCopy(manager, pasteboard, 1);
    {
        // The write road as before the index: no triggers.
        connect(CoreDataStack::shared().storePath().toStdString())
            ->exec(R"sql(DROP TRIGGER "PBItemRecord_search_insert"; DROP TRIGGER "PBItemRecord_search_delete";
            DROP TRIGGER "PBItemRecord_search_update";)sql");
    }
    const double withoutIndex = captureMsPerCopy(manager, pasteboard, 2);
    if (withIndex < 0 || withoutIndex < 0) {
        say(QStringLiteral("a copy was NOT taken: no capture cost measured"));
        return false;
    }
    say(QStringLiteral("capture and save per copy: %1 ms with the index, %2 ms without (%3 x)")
            .arg(withIndex, 0, 'f', 2)
            .arg(withoutIndex, 0, 'f', 2)
            .arg(withIndex / withoutIndex, 0, 'f', 2));
    return agreed;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    Strings::install(); // the list shows its real texts
    const QStringList arguments = app.arguments();
    if (arguments.size() >= 5) {
        // Child: <seed|measure> <count> <plain|accented> <folder>
        qputenv("XDG_DATA_HOME", arguments.at(4).toLocal8Bit() + "/data");
        qputenv("XDG_CONFIG_HOME", arguments.at(4).toLocal8Bit() + "/config");
        qputenv("XDG_STATE_HOME", arguments.at(4).toLocal8Bit() + "/state");
        const qint64 count = arguments.at(2).toLongLong();
        const bool accented = arguments.at(3) == QStringLiteral("accented");
        if (arguments.at(1) == QStringLiteral("seed")) {
            seed(count, accented);
            return 0;
        }
        const bool measured = measure(count, accented);
        std::fflush(stdout);
        return measured ? 0 : 1;
    }
    QList<qint64> sizes{100000, 1000000};
    if (arguments.size() == 2)
        sizes = {arguments.at(1).toLongLong()};
    if (sizes.first() <= 0) {
        std::fprintf(stderr, "nothing to measure: a history of %s items\n", qPrintable(arguments.at(1)));
        return 1;
    }
    int status = 0;
    for (qint64 count : sizes) {
        for (const QString &kind : {QStringLiteral("plain"), QStringLiteral("accented")}) {
            QTemporaryDir folder;
            QElapsedTimer timer;
            timer.start();
            if (QProcess::execute(arguments.first(),
                                  {QStringLiteral("seed"), QString::number(count), kind, folder.path()})
                != 0) {
                std::fprintf(stderr, "seeding the %s history failed\n", qPrintable(kind));
                return 1;
            }
            std::printf("%-8s %8lld items: seeded in %.1f s\n", qPrintable(kind), (long long)count,
                        timer.elapsed() / 1000.0);
            std::fflush(stdout);
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(arguments.first(), {QStringLiteral("measure"), QString::number(count), kind, folder.path()});
            child.waitForFinished(-1);
            if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                status = 1;
        }
    }
    return status;
}
