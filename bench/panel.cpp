// Figures of the keyboard road at 1,000 and 100,000 history items (or the count given): from the
// start of TaviPaste to its hot keys being live, then to the quick-paste panel built while the
// program idles, from the hot key to the panel shown with its first rows, then to the whole count
// in, the same for a keyword typed into the panel's search, and from Return to the paste
// keystroke. While the panel is built, while it opens and while its search answers, the GUI
// thread's longest stall is timed inside the process (with how much of it the thread ran and how
// much it waited for a CPU) and, with
// QT_QPA_PLATFORM=xcb (offscreen otherwise), from outside it by a client pinging a window of the
// process. Each history is seeded by one child process and measured by another, so the measured
// one starts as the program does, from the store on disk. A panel not built ahead, one that shows
// no rows, a count that does not come, or (on X) a window that answers no ping exits with 1.

#include "support/BenchHistory.h"
#include "support/GuiStalls.h"

#include "capture/TaviPBManager.h"
#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/TaviSettings.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "history/HistoryScenes.h"
#include "history/PBHUDTableView.h"
#include "history/PBHUDViewController.h"
#include "history/PBHUDWindowController.h"
#include "platform/KeyEventPoster.h"
#include "platform/PlatformBackends.h"
#include "platform/Shortcut.h"
#include "platform/Strings.h"
#include "platform/ShortcutMonitor.h"
#include "shell/AppDelegate.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

bool waitUntilShown(PBHUDWindowController *panel, PBHUDViewController *view, const QString &keyword = {});
bool waitUntilCounted(PBHUDViewController *view, qint64 count);

namespace {

void seed(qint64 count)
{
    Bench::seedHistory(count, [](qint64 i) -> QString {
        return QStringLiteral("Copied text number %1 with some more words to make it the length of a usual copy")
            .arg(i);
    });
}

// Notes when the paste keystroke is sent.
class TimedKeyEventPoster : public KeyEventPoster {
public:
    void postPasteKeystroke() override { postedAt = clock->nsecsElapsed(); }
    QElapsedTimer *clock = nullptr;
    qint64 postedAt = -1;
};

double ms(qint64 nanoseconds) { return double(nanoseconds) / 1e6; }

bool measure(qint64 count)
{
    bool measured = true;
    Bench::GuiStalls stalls;
    bool outsideMissing = false;
    QElapsedTimer clock;
    clock.start();
    HistoryScenes::registerAll();
    TaviPBManager &manager = TaviPBManager::shared();
    const qint64 managerMade = clock.nsecsElapsed();
    manager.getItemsPage(0, 9);
    const qint64 firstPage = clock.nsecsElapsed();
    std::printf("%8lld items    (history opened %.1f ms, first page %.1f ms)\n", static_cast<long long>(count),
                ms(managerMade), ms(firstPage - managerMade));
    AppDelegate delegate(manager);
    delegate.applicationWillFinishLaunching();
    delegate.applicationDidFinishLaunching();
    const bool live =
        ShortcutMonitor::shared().isShortcutRegistered(Shortcut(38, Shortcut::kCommand))
        && ShortcutMonitor::shared().isShortcutRegistered(Shortcut(AppDelegate::kDigitKeyCodes[0], Shortcut::kCommand));
    const qint64 started = clock.nsecsElapsed();
    std::printf("%8lld items  start to hot keys live:            %8.1f ms%s\n", static_cast<long long>(count),
                ms(started), live ? "" : "  (keys NOT live)");
    measured = measured && live;

    // As the program does after start-up: the panel is built while it idles, before any hot key.
    stalls.reset();
    PBHUDWindowController::prepare();
    QElapsedTimer deadline;
    deadline.start();
    while (!PBHUDWindowController::isPrepared() && deadline.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    const bool prepared = PBHUDWindowController::isPrepared();
    std::printf("%8lld items  then the panel built ahead:         %8.1f ms%s; %s\n", static_cast<long long>(count),
                ms(clock.nsecsElapsed()), prepared ? "" : " (NOT built)", stalls.describe(&outsideMissing).constData());
    measured = measured && prepared;

    for (const char *round : {"first", "again"}) {
        clock.restart();
        stalls.reset();
        PBHUDWindowController::toggle();
        PBHUDWindowController *panel = PBHUDWindowController::shared();
        PBHUDViewController *view = panel->contentViewController();
        const bool shown = waitUntilShown(panel, view);
        const qint64 elapsed = clock.nsecsElapsed();
        std::printf("%8lld items  hot key to panel with rows (%s): %8.1f ms%s\n", static_cast<long long>(count), round,
                    ms(elapsed), shown ? "" : "  (rows NOT shown)");
        const bool counted = shown && waitUntilCounted(view, count);
        std::printf("%8lld items    then all rows counted:             %8.1f ms%s; %s\n", static_cast<long long>(count),
                    ms(clock.nsecsElapsed()), counted ? "" : " (count NOT in)",
                    stalls.describe(&outsideMissing).constData());
        measured = measured && shown && counted;
        if (std::strcmp(round, "again") == 0)
            break;
        PBHUDWindowController::toggle();
        QApplication::processEvents();
    }

    {
        // A keyword every seeded item holds: the search's first page, then its count of all of them.
        PBHUDViewController *view = PBHUDWindowController::shared()->contentViewController();
        clock.restart();
        stalls.reset();
        view->searchInput->setText(QStringLiteral("number"));
        view->searchAndReload();
        const bool searched = waitUntilShown(PBHUDWindowController::shared(), view, QStringLiteral("number"));
        const qint64 firstRows = clock.nsecsElapsed();
        const double stallToRows = stalls.insideMs();
        const bool counted = searched && waitUntilCounted(view, count);
        std::printf("%8lld items  search to its first rows:           %8.1f ms%s (stall %.1f ms); all %s in %.1f ms, "
                    "%s\n",
                    static_cast<long long>(count), ms(firstRows), searched ? "" : "  (rows NOT shown)", stallToRows,
                    counted ? "counted" : "NOT counted", ms(clock.nsecsElapsed()),
                    stalls.describe(&outsideMissing).constData());
        measured = measured && searched && counted;
        view->clearAction();
        waitUntilCounted(view, count);
    }

    auto poster = std::make_unique<TimedKeyEventPoster>();
    TimedKeyEventPoster *timed = poster.get();
    timed->clock = &clock;
    KeyEventPoster::setShared(std::move(poster));
    TaviSettings::shared().setQuickPasteEnable(true);
    clock.restart();
    PBHUDWindowController::shared()->contentViewController()->pasteSelectedItem();
    std::printf("%8lld items  Return to the paste keystroke:      %8.1f ms\n", static_cast<long long>(count),
                ms(timed->postedAt));
    TaviSettings::shared().setQuickPasteEnable(false);
    delegate.applicationWillTerminate();
    if (outsideMissing)
        std::printf("%8lld items  NO stall timed from outside: the window answered no ping\n",
                    static_cast<long long>(count));
    return measured && timed->postedAt >= 0 && !outsideMissing;
}

} // namespace

bool waitUntilShown(PBHUDWindowController *panel, PBHUDViewController *view, const QString &keyword)
{
    QElapsedTimer deadline;
    deadline.start();
    while (deadline.elapsed() < 5000) {
        QApplication::processEvents();
        const std::optional<PBHUDCell> first = view->historyTableView->cellForRow(0);
        if (panel->isVisible() && view->shownKeyword() == keyword && !view->isFetching() && view->numberOfRows() > 0
            && view->historyTableView->isVisible() && first && !first->text.isEmpty())
            return true;
    }
    return false;
}

bool waitUntilCounted(PBHUDViewController *view, qint64 count)
{
    QElapsedTimer deadline;
    deadline.start();
    while (deadline.elapsed() < 60000) {
        QApplication::processEvents();
        if (view->numberOfRows() == count && !view->isFetching())
            return true;
    }
    return false;
}

int main(int argc, char *argv[])
{
    if (argc == 4) {
        // A child: seed or measure the history under the XDG folders we were given.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        Strings::install(); // the panel shows its real texts
        const qint64 count = QByteArray(argv[2]).toLongLong();
        if (qstrcmp(argv[1], "seed") == 0)
            seed(count);
        else
            return measure(count) ? 0 : 1;
        return 0;
    }
    QCoreApplication app(argc, argv);
    QList<qint64> counts{1000, 100000};
    if (argc == 2)
        counts = {QByteArray(argv[1]).toLongLong()};
    if (counts.first() <= 0) {
        std::fprintf(stderr, "nothing to measure: a history of %s items\n", argv[1]);
        return 1;
    }
    int status = 0;
    for (const qint64 count : counts) {
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) {
            QDir().mkpath(home.filePath(QString::fromLatin1(name)));
            environment.insert(QString::fromLatin1(name), home.filePath(QString::fromLatin1(name)));
        }
        environment.insert(QStringLiteral("TAVI_MUTE_SOUNDS"), QStringLiteral("1"));
        for (const char *step : {"seed", "measure"}) {
            QProcess child;
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QString::fromLatin1(step), QString::number(count), home.path()});
            child.waitForFinished(-1);
            if (child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0)
                status = 1;
        }
    }
    return status;
}
