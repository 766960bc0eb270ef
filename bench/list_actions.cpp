// Figures of what the user does with listed items: deleting 10,000 selected rows of a list of
// 1,000,000 items (to the store's change and the list read again, with the GUI thread's longest
// stall meanwhile), the auto-clean taking 10,000 items (each announced on its own, to every
// listener: the shell, the open list, the quick-paste panel and the category pane), Clear History
// of what is left (to its announcement and the list emptied, with the peak memory), recognising the text of a 1920 x 1080 screenshot of text with the English
// data (time, and the GUI thread's longest stall while it runs), and typing into a note of 1 MB
// (the GUI thread's time per key). One child process seeds the store, another measures. A smaller
// history deletes half of its rows. A figure that could not be taken exits with 1. With
// QT_QPA_PLATFORM=xcb the stalls are also timed from outside the process, by a client pinging
// the list's window.
//
//   bench_list_actions [items]   (default 1000000)

#include "support/BenchDriver.h"
#include "support/BenchHistory.h"
#include "support/GuiStalls.h"
#include "support/StallWatch.h"

#include "capture/TaviPBManager.h"
#include "controls/NoteTextView.h"
#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "history/CategoryNoteWindowController.h"
#include "history/CategoryWindowController.h"
#include "history/HistoryScenes.h"
#include "history/PBHUDViewController.h"
#include "history/PBHUDWindowController.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"
#include "platform/NotificationCenter.h"
#include "platform/TextRecognizer.h"
#include "preferences/CategorySettingViewController.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace {

constexpr qint64 kItems = 1000000;
constexpr int kDeleted = 10000;

double ms(qint64 nanoseconds) { return double(nanoseconds) / 1e6; }

bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer deadline;
    deadline.start();
    while (!condition()) {
        if (deadline.elapsed() > timeoutMs)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Every window that takes the history's deletions, open as a user may have them: the shell (its
// quick-selection keys), the list of All, the quick-paste panel and the category pane.
struct Listeners {
    Listeners() : delegate(TaviPBManager::shared()), window(TaviPBManager::shared())
    {
        TaviSettings::shared().setEnableQuickSelection(true);
        TaviSettings::shared().setEnableAutoCleanHistory(false);
        delegate.applicationWillFinishLaunching();
        delegate.applicationDidFinishLaunching();
        window.resize(380, 720);
        window.show();
        view = window.contentViewController();
        view->updateUI(PBCategory::all());
        pane.resize(900, 500);
        pane.show();
    }

    bool showPanel()
    {
        PBHUDWindowController::toggle();
        PBHUDViewController *panel = PBHUDWindowController::shared()->contentViewController();
        return waitFor([&] { return !panel->isFetching() && panel->numberOfRows() > 0; }, 10000);
    }

    AppDelegate delegate;
    CategoryWindowController window;
    CategoryListViewController *view = nullptr;
    CategorySettingViewController pane;
};

bool listShows(CategoryListViewController *view, qsizetype rows)
{
    return waitFor([&] { return !view->isLoading() && view->numberOfRows() == rows; }, 60000);
}

// The history's size and how many of it a figure takes, once the list shows all of it; none (and
// said why) when there is nothing to take or the list does not show it.
std::optional<std::pair<qsizetype, int>> historyToTake(CategoryListViewController *view, const char *what)
{
    const qsizetype before = TaviPBManager::shared().itemCount();
    const int taken = int(std::min<qsizetype>(kDeleted, before / 2));
    if (taken == 0) {
        std::printf("  nothing to %s: the history has %lld items\n", what, static_cast<long long>(before));
        return std::nullopt;
    }
    if (!listShows(view, before)) {
        std::printf("  the list did NOT show its %lld rows within 60 s\n", static_cast<long long>(before));
        return std::nullopt;
    }
    return std::pair{before, taken};
}

bool measureDelete(CategoryListViewController *view, Bench::GuiStalls &stalls)
{
    TaviPBManager &manager = TaviPBManager::shared();
    std::printf("history of %lld items\n", static_cast<long long>(manager.itemCount()));
    const auto history = historyToTake(view, "delete");
    if (!history)
        return false;
    const auto [before, deleted] = *history;
    const int firstDeleted = int(std::min<qsizetype>(1000, before / 4));
    // Rows 1,000 to 10,999: most of them were never read into the list.
    view->itemsTableView->selectionModel()->select(
        QItemSelection(view->model->index(firstDeleted), view->model->index(firstDeleted + deleted - 1)),
        QItemSelectionModel::Select);
    for (int i = 0; i < 20; ++i)
        QApplication::processEvents();
    QElapsedTimer clock;
    // The store's announcement, rather than polling the count: a count of the whole history
    // takes the store's lock the delete needs.
    double storeDone = 0;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemsDidClear,
                      [&](const Notification &) { storeDone = ms(clock.nsecsElapsed()); });
    stalls.reset();
    clock.start();
    view->deleteSelectedItems();
    const double rowsGone = ms(clock.nsecsElapsed());
    waitFor([&] { return storeDone > 0; }, 60000);
    const bool redrawn = waitFor(
        [&] {
            return !view->isLoading() && view->numberOfRows() == before - deleted
                   && view->model->cachedItem(0).has_value();
        },
        60000);
    view->itemsTableView->viewport()->repaint();
    const double listDone = ms(clock.nsecsElapsed());
    // The listeners' own reactions (counts, pages read again) run on after the announcement.
    waitFor([] { return false; }, 1000);
    bool outsideMissing = false;
    const QByteArray longest = stalls.describe(&outsideMissing);
    const double longestEndedAt = stalls.inside().longestEndedAtMs();
    // Counted on this thread: after the stalls were taken.
    const bool stored = storeDone > 0 && manager.itemCount() == before - deleted;
    std::printf("  delete %d selected rows: rows out of the list %8.1f ms\n", deleted, rowsGone);
    std::printf("  delete %d selected rows: store changed        %8.1f ms%s\n", deleted, storeDone,
                stored ? "" : " (NOT done)");
    std::printf("  delete %d selected rows: list read again       %8.1f ms%s\n", deleted, listDone,
                redrawn ? "" : " (NOT done)");
    std::printf("  meanwhile %s; the longest inside ended at %.0f ms\n", longest.constData(), longestEndedAt);
    return stored && redrawn && !outsideMissing;
}

// Clear History of everything left: to the announcement and the list emptied, with the GUI
// thread's longest stall and the process's resident high-water mark.
bool measureClearAll(CategoryListViewController *view, Bench::GuiStalls &stalls)
{
    TaviPBManager &manager = TaviPBManager::shared();
    const qsizetype before = manager.itemCount();
    QElapsedTimer clock;
    double clearedAt = 0;
    ObserverBag observers;
    observers.observe(NotificationName::historyItemsDidClear,
                      [&](const Notification &) { clearedAt = ms(clock.nsecsElapsed()); });
    const double peakBefore = Bench::statusMegabytes("VmHWM");
    stalls.reset();
    clock.start();
    manager.clearAllItemsInBackground(false);
    const double returned = ms(clock.nsecsElapsed());
    const bool announced = waitFor([&] { return clearedAt > 0; }, 120000);
    const bool emptied = waitFor([&] { return !view->isLoading() && view->numberOfRows() == 0; }, 60000);
    const double emptyAt = ms(clock.nsecsElapsed());
    waitFor([] { return false; }, 1000);
    bool outsideMissing = false;
    const QByteArray longest = stalls.describe(&outsideMissing);
    std::printf("  clear all %lld items: returned %.1f ms, announced %.1f ms, list empty %.1f ms%s\n",
                static_cast<long long>(before), returned, clearedAt, emptyAt,
                announced && emptied ? "" : " (NOT done)");
    std::printf("  meanwhile %s; resident high-water mark %.0f MB before, %.0f MB after\n", longest.constData(),
                peakBefore, Bench::statusMegabytes("VmHWM"));
    return announced && emptied && manager.itemCount() == 0 && !outsideMissing;
}

bool measureAutoClean(AppDelegate &delegate, CategoryListViewController *view, Bench::GuiStalls &stalls)
{
    TaviPBManager &manager = TaviPBManager::shared();
    const auto history = historyToTake(view, "auto-clean");
    if (!history)
        return false;
    const auto [before, taken] = *history;
    TaviSettings &settings = TaviSettings::shared();
    settings.setClearType(PBHistoryClearType::items);
    settings.setHistoryKeepLastCount(int(before - taken));
    QElapsedTimer clock;
    qsizetype announced = 0;
    double lastItemAt = 0;
    double clearedAt = 0;
    ObserverBag observers;
    double firstItemAt = 0;
    observers.observe(NotificationName::historyItemDidDelete, [&](const Notification &) {
        if (++announced == 1)
            firstItemAt = ms(clock.nsecsElapsed());
        lastItemAt = ms(clock.nsecsElapsed());
    });
    observers.observe(NotificationName::historyItemsDidClear,
                      [&](const Notification &) { clearedAt = ms(clock.nsecsElapsed()); });
    stalls.reset();
    clock.start();
    // As the program starts it when it becomes active.
    settings.setEnableAutoCleanHistory(true);
    delegate.applicationWillBecomeActive();
    settings.setEnableAutoCleanHistory(false);
    const double returned = ms(clock.nsecsElapsed());
    const bool announcedAll = waitFor([&] { return clearedAt > 0; }, 60000);
    const bool redrawn = listShows(view, before - taken);
    // The listeners' own reactions (counts, pages read again) run on after the announcements.
    waitFor([] { return false; }, 1000);
    bool outsideMissing = false;
    const QByteArray longest = stalls.describe(&outsideMissing);
    const double longestEndedAt = stalls.inside().longestEndedAtMs();
    const bool cleared = announcedAll && manager.itemCount() == before - taken;
    std::printf("  auto-clean of %d items: returned               %8.1f ms\n", taken, returned);
    std::printf("  auto-clean of %d items: the first announced    %8.1f ms\n", taken, firstItemAt);
    std::printf("  auto-clean of %d items: %lld items announced   %8.1f ms%s\n", taken,
                static_cast<long long>(announced), lastItemAt, announced == taken ? "" : " (NOT all)");
    std::printf("  auto-clean of %d items: the clear announced    %8.1f ms%s\n", taken, clearedAt,
                cleared ? "" : " (NOT done)");
    std::printf("  meanwhile %s; the longest inside ended at %.0f ms\n", longest.constData(), longestEndedAt);
    return cleared && redrawn && announced == taken && !outsideMissing;
}

QImage screenshotOfText()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(Qt::black);
    for (int line = 0; line < 30; ++line)
        painter.drawText(
            40, 40 + line * 34,
            QStringLiteral("Line %1 of a screenshot: the quick brown fox jumps over the lazy dog, again and again.")
                .arg(line + 1));
    return image;
}

bool measureRecognition()
{
    const QImage image = screenshotOfText();
    const QStringList data = TextRecognizer::installedDataNames({QStringLiteral("en-US")});
    if (data.isEmpty()) {
        std::printf("  no English recognition data installed: no recognition measured\n");
        return false;
    }
    std::atomic<bool> done{false};
    TextRecognizer::Result result;
    QElapsedTimer clock;
    Bench::StallWatch stalls;
    clock.start();
    QThreadPool::globalInstance()->start([&] {
        result = TextRecognizer::recognize(image, data);
        done.store(true);
    });
    const bool finished = waitFor([&] { return done.load(); }, 120000);
    const double took = ms(clock.nsecsElapsed());
    std::printf("  recognise text of a 1920x1080 screenshot (eng): %8.1f ms, %lld lines\n", took,
                static_cast<long long>(result.lines.size()));
    const Bench::StallWatch::Gap longest = stalls.longest();
    std::printf("  longest GUI stall meanwhile:                   %8.1f ms (ran %.1f; %.1f ms less the machine's "
                "pauses)\n",
                longest.ms, longest.ranMs, longest.ownMs);
    if (!finished) {
        // The recognition still reads `image` and `result`: they must outlive it.
        std::printf("  the recognition did NOT finish within 120 s\n");
        QThreadPool::globalInstance()->waitForDone();
        return false;
    }
    if (result.lines.isEmpty()) {
        std::printf("  NO line recognised\n");
        return false;
    }
    return true;
}

bool measureNoteTyping()
{
    CategoryNoteWindowController editor(TaviPBManager::shared());
    editor.setAttribute(Qt::WA_DeleteOnClose, false);
    editor.show();
    QString body;
    while (body.size() < 1024 * 1024)
        body += QStringLiteral("A line of a long note with some words in it, and a few more words.\n");
    editor.noteContentTextView->setPlainText(body);
    editor.noteContentTextView->setFocus();
    editor.noteContentTextView->moveCursor(QTextCursor::End);
    waitFor([&] { return !editor.isCounting(); }, 10000);
    // The first key lays the loaded text out; typing starts after it.
    QKeyEvent first(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    QApplication::sendEvent(editor.noteContentTextView, &first);
    QApplication::processEvents();
    editor.repaint();
    QList<double> keys;
    for (int i = 0; i < 100; ++i) {
        QElapsedTimer clock;
        clock.start();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor.noteContentTextView, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QApplication::sendEvent(editor.noteContentTextView, &release);
        QApplication::processEvents();
        editor.repaint();
        keys.append(ms(clock.nsecsElapsed()));
    }
    waitFor([&] { return !editor.isCounting(); }, 10000);
    std::sort(keys.begin(), keys.end());
    std::printf("  type into a 1 MB note: per key p50 %.2f ms, p99 %.2f ms, max %.2f ms (counts: %lld characters)\n",
                keys.at(keys.size() / 2), keys.at(keys.size() * 99 / 100), keys.last(),
                static_cast<long long>(editor.shownCounts().characters));
    return true;
}

bool measure()
{
    bool measured = true;
    HistoryScenes::registerAll();
    // TAVI_BENCH_PARTS names the figures to take ("delete,autoclean,clear,recognition,note"); all by
    // default.
    const QString parts =
        qEnvironmentVariable("TAVI_BENCH_PARTS", QStringLiteral("delete,autoclean,clear,recognition,note"));
    if (parts.contains(QStringLiteral("delete")) || parts.contains(QStringLiteral("autoclean"))
        || parts.contains(QStringLiteral("clear"))) {
        Listeners listeners;
        // Pings the list's own window.
        Bench::GuiStalls stalls(&listeners.window);
        if (!listeners.showPanel()) {
            std::printf("  the quick-paste panel did NOT show its rows\n");
            measured = false;
        }
        if (parts.contains(QStringLiteral("delete")))
            measured = measureDelete(listeners.view, stalls) && measured;
        if (parts.contains(QStringLiteral("autoclean")))
            measured = measureAutoClean(listeners.delegate, listeners.view, stalls) && measured;
        if (parts.contains(QStringLiteral("clear")))
            measured = measureClearAll(listeners.view, stalls) && measured;
        listeners.delegate.applicationWillTerminate();
    }
    if (parts.contains(QStringLiteral("recognition")))
        measured = measureRecognition() && measured;
    if (parts.contains(QStringLiteral("note")))
        measured = measureNoteTyping() && measured;
    return measured;
}

} // namespace

int main(int argc, char *argv[])
{
    return Bench::runSeedThenMeasure(argc, argv, kItems,
                                     [](qint64 count) {
                                         Bench::seedHistory(count, [](qint64 i) {
                                             return QStringLiteral("Copied text number %1 with a few words").arg(i);
                                         });
                                     },
                                     measure, {.platformFromEnvironment = true, .measureOnCopy = true});
}
