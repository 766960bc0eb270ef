// Time from another program's clipboard change to the X11 pasteboard having the new items, for
// 100 B of text, 1 MiB of text and a 5 MB PNG, and the main thread's longest stall meanwhile.
// Needs an X server (run it inside xvfb-run) and xclip. A copy not read back exactly exits with 1.

#include "support/BenchHistory.h"

#include "platform/x11/X11Pasteboard.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

QByteArray textOf(qsizetype size)
{
    QByteArray text;
    text.reserve(size);
    auto *random = QRandomGenerator::global();
    while (text.size() < size)
        text.append(char('a' + random->bounded(26)));
    return text;
}

struct Sample {
    double changeToItemsMs = 0;
    double startToItemsMs = 0;
    bool exact = false;
};

// One copy by xclip; a worker waits for the change and reads it as the capture road does.
Sample measure(X11Pasteboard &pasteboard, const QByteArray &target, const QString &type, const QByteArray &data,
               qint64 &longestStall)
{
    QTemporaryFile file;
    file.open();
    file.write(data);
    file.flush();

    const qint64 before = pasteboard.changeCount();
    std::atomic<bool> done = false;
    Sample sample;
    QElapsedTimer clock;
    clock.start();
    std::thread reader([&] {
        while (pasteboard.changeCount() == before) {
            if (clock.elapsed() > 20000) { // the copy never arrived: not exact
                done = true;
                return;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        const double changed = clock.nsecsElapsed() / 1e6;
        const auto items = pasteboard.items();
        const double ready = clock.nsecsElapsed() / 1e6;
        sample.changeToItemsMs = ready - changed;
        sample.startToItemsMs = ready;
        sample.exact = items && !items->isEmpty() && items->first().data(type) == data;
        done = true;
    });
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                 QString::fromLatin1(target), QStringLiteral("-i"), file.fileName()});
    QElapsedTimer sinceTick;
    sinceTick.start();
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { longestStall = std::max(longestStall, sinceTick.restart()); });
    ticker.start(1);
    while (!done && clock.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    ticker.stop();
    reader.join();
    xclip.waitForFinished(5000);
    return sample;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    std::unique_ptr<X11Pasteboard> pasteboard = X11Pasteboard::create();
    if (!pasteboard) {
        std::fprintf(stderr, "needs an X server with XFixes (run inside xvfb-run)\n");
        return 1;
    }
    struct Case {
        const char *name;
        QByteArray target;
        QString type;
        QByteArray data;
    };
    const Case cases[] = {
        {"text 100 B", "UTF8_STRING", PasteboardType::string, textOf(100)},
        {"text 1 MiB", "UTF8_STRING", PasteboardType::string, textOf(1024 * 1024)},
        {"PNG 5 MB", "image/png", PasteboardType::png, Bench::noisePng(1300)},
    };
    const int kRuns = qEnvironmentVariableIntValue("TAVI_BENCH_QUICK") == 1 ? 1 : 5;
    bool allExact = true;
    std::printf("X11 clipboard: another program's copy until the items are read (%d runs each)\n", kRuns);
    std::printf("%-12s %10s %22s %22s %18s %6s\n", "payload", "bytes", "change->items med/max", "start->items med/max",
                "main stall max", "exact");
    for (const Case &c : cases) {
        std::vector<double> fromChange;
        std::vector<double> fromStart;
        qint64 stall = 0;
        bool exact = true;
        for (int run = 0; run < kRuns; ++run) {
            const Sample sample = measure(*pasteboard, c.target, c.type, c.data, stall);
            fromChange.push_back(sample.changeToItemsMs);
            fromStart.push_back(sample.startToItemsMs);
            exact = exact && sample.exact;
        }
        allExact = allExact && exact;
        std::sort(fromChange.begin(), fromChange.end());
        std::sort(fromStart.begin(), fromStart.end());
        std::printf("%-12s %10lld %12.1f / %6.1f ms %12.1f / %6.1f ms %15lld ms %6s\n", c.name,
                    static_cast<long long>(c.data.size()), fromChange[kRuns / 2], fromChange.back(),
                    fromStart[kRuns / 2], fromStart.back(), static_cast<long long>(stall), exact ? "yes" : "NO");
    }
    return allExact ? 0 : 1;
}
