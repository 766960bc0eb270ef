// Copies of many files and of deeply nested HTML go through capture in time in proportion to
// their size; copies that never arrive are counted and told.

#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/Defaults.h"
#include "platform/Log.h"
#include "platform/Strings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <limits>

namespace {

// A file manager's copy of `count` files it makes in `folder`.
QList<PasteboardItem> filesIn(const QString &folder, int count, const QString &prefix = QStringLiteral("file"))
{
    QList<PasteboardItem> items;
    for (int i = 0; i < count; ++i) {
        const QString path = folder + QStringLiteral("/%1 %2.txt").arg(prefix).arg(i);
        QFile(path).open(QIODevice::WriteOnly);
        items.append(CaptureHarness::fileItem(path));
    }
    return items;
}

// Milliseconds capture takes for this copy, in a history of its own.
qint64 captureMilliseconds(const QList<PasteboardItem> &items)
{
    CaptureHarness h;
    QElapsedTimer timer;
    timer.start();
    h.copyFromOutside(items);
    const qint64 elapsed = timer.elapsed();
    EXPECT_EQ(h.manager->itemCount(), items.size());
    return elapsed;
}

PasteboardItem htmlItem(const QByteArray &html)
{
    PasteboardItem item;
    item.setData(PasteboardType::html, html);
    return item;
}

class LoggedLines {
public:
    LoggedLines()
    {
        Log::setObserver([this](LogLevel, const QString &message, const char *, const char *, int) {
            QMutexLocker lock(&m_mutex);
            m_lines.append(message);
        });
    }
    ~LoggedLines() { Log::setObserver({}); }
    QStringList lines() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lines;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_lines;
};

} // namespace

TEST(LargeCopies, ManyFilesAreStoredSavedAndBookmarkedTogetherWithoutTouchingTheSettingsFile)
{
    CaptureHarness h;
    QTemporaryDir folder;
    constexpr int kFiles = 2500;
    const QList<PasteboardItem> items = filesIn(folder.path(), kFiles);
    std::atomic<int> settingsWrites{0};
    Defaults::setWriteHookForTesting([&] { ++settingsWrites; });
    const int saves = h.manager->saveScheduler().saveCount();
    {
        LoggedLines logged;
        h.copyFromOutside(items);
        TPBookMarkCacher::shared().waitUntilIdle();
        Defaults::standard().flush();
        // One line for the copy and one for its bookmarks, not one or more per file.
        EXPECT_LE(logged.lines().size(), 4) << logged.lines().mid(0, 10).join(QLatin1Char('\n')).toStdString();
    }
    Defaults::setWriteHookForTesting({});

    EXPECT_EQ(h.manager->itemCount(), kFiles);
    // Saved as it went, not only once the whole copy was in.
    EXPECT_GE(h.manager->saveScheduler().saveCount() - saves, kFiles / TaviPBManager::kSaveEveryItems);
    for (const PasteboardItem &item : items) {
        const QString path = QUrl::fromEncoded(*item.data(PasteboardType::fileURL)).toLocalFile();
        ASSERT_TRUE(TPBookMarkCacher::shared().hasBookMark(path));
    }
    // The copy is counted in the settings once; the bookmarks live in the store.
    EXPECT_LE(settingsWrites.load(), 1);
    EXPECT_FALSE(Defaults::standard().contains(TaviSettings::legacyBookmarksKey()));

    // A copy of the same files again finds each one stored, as quickly.
    h.clearPosted();
    h.copyFromOutside(items);
    EXPECT_EQ(h.manager->itemCount(), kFiles);
    ASSERT_EQ(h.posted(NotificationName::historyItemDidUpdate).size(), 1);
}

TEST(LargeCopies, AFileListTakesTimeInProportionToItsLength)
{
    QTemporaryDir folder;
    const QList<PasteboardItem> small = filesIn(folder.path(), 400, QStringLiteral("small"));
    const QList<PasteboardItem> large = filesIn(folder.path(), 3200, QStringLiteral("large"));
    captureMilliseconds(small); // warms the caches of the file system and the program
    // The quickest of rounds that alternate the two: a busy machine slows some rounds, rarely all,
    // and slows both sizes alike.
    qint64 smallMs = std::numeric_limits<qint64>::max();
    qint64 largeMs = std::numeric_limits<qint64>::max();
    for (int round = 0; round < 3; ++round) {
        smallMs = std::min(smallMs, std::max<qint64>(1, captureMilliseconds(small)));
        largeMs = std::min(largeMs, captureMilliseconds(large));
    }
    // Eight times the paths take about eight times as long; sixty-four times would be quadratic.
    EXPECT_LT(largeMs, 24 * smallMs) << smallMs << " ms for 400 paths, " << largeMs << " ms for 3200";
}

TEST(LargeCopies, ACopiedFileIsBookmarkedUnlessTheWholeRootIs)
{
    CaptureHarness h;
    QTemporaryDir folder;
    const QList<PasteboardItem> first = filesIn(folder.path(), 1, QStringLiteral("first"));
    h.copyFromOutside(first);
    TPBookMarkCacher &bookmarks = TPBookMarkCacher::shared();
    bookmarks.waitUntilIdle();
    EXPECT_TRUE(bookmarks.hasBookMark(folder.filePath(QStringLiteral("first 0.txt"))));

    bookmarks.store({QUrl::fromLocalFile(authorizedRootPath())});
    bookmarks.waitUntilIdle(); // the grant is made on the cache's queue
    const QList<PasteboardItem> second = filesIn(folder.path(), 1, QStringLiteral("second"));
    h.copyFromOutside(second);
    bookmarks.waitUntilIdle();
    EXPECT_FALSE(bookmarks.hasBookMark(folder.filePath(QStringLiteral("second 0.txt"))));
    bookmarks.remove(authorizedRootPath());
}

TEST(LargeCopies, DeeplyNestedHtmlTakesNoLongerThanFlatHtmlOfItsSize)
{
    constexpr int kTables = 8000;
    QByteArray nested = "<html><body>";
    QByteArray flat = nested;
    for (int i = 0; i < kTables; ++i) {
        nested += "<table><tr><td>cell " + QByteArray::number(i);
        flat += "<table><tr><td>cell " + QByteArray::number(i) + "</td></tr></table>";
    }
    for (int i = 0; i < kTables; ++i)
        nested += "</td></tr></table>";
    nested += "</body></html>";
    flat += "</body></html>";

    CaptureHarness h;
    QElapsedTimer timer;
    timer.start();
    h.copyFromOutside({htmlItem(flat)});
    const qint64 flatMs = std::max<qint64>(1, timer.restart());
    h.copyFromOutside({htmlItem(nested)});
    const qint64 nestedMs = timer.elapsed();
    ASSERT_EQ(h.manager->itemCount(), 2);
    // Nested, every table would cost time in proportion to its depth: hundreds of times more.
    EXPECT_LT(nestedMs, 5 * flatMs) << flatMs << " ms flat, " << nestedMs << " ms nested";
    // The text of every cell is kept, however deep.
    const PBItem item = h.manager->getItemsPage(0, 1).value(0);
    const QString text = h.manager->loadFullItem(item).dataProvider()->representedText();
    for (int i : {0, 99, 100, 4000, kTables - 1})
        EXPECT_TRUE(text.contains(QStringLiteral("cell %1\n").arg(i))
                    || text.endsWith(QStringLiteral("cell %1").arg(i)))
            << i;
}

TEST(LostCopies, ACopyReplacedBeforeItCouldBeReadIsCountedAnnouncedAndToldOnceUnlessCaptureIsPaused)
{
    CaptureHarness h;
    h.pasteboard.simulateReplacedCopy({CaptureHarness::textItem(QStringLiteral("newer"))});
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("newer")});
    EXPECT_EQ(h.manager->lostCopyCount(), 1);
    EXPECT_EQ(h.lostTotals(), QList<qint64>{1});
    EXPECT_EQ(h.told(), QStringList{L("Capture.Lost.Replaced")});
    EXPECT_TRUE(h.signalledOnMainThreadOnly());

    // Counted every time, told once.
    h.pasteboard.simulateReplacedCopy({CaptureHarness::textItem(QStringLiteral("newest"))});
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.manager->lostCopyCount(), 2);
    EXPECT_EQ(h.lostTotals(), (QList<qint64>{1, 2}));
    EXPECT_EQ(h.told().size(), 1);

    // Nothing is counted while capture is paused.
    h.manager->setPaused(true);
    h.pasteboard.simulateReplacedCopy({CaptureHarness::textItem(QStringLiteral("paused"))});
    h.pasteboard.simulateUnreadableCopy();
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.manager->lostCopyCount(), 2);
    EXPECT_EQ(h.told().size(), 1);
    EXPECT_EQ(h.lostTotals().size(), 2);
}

TEST(LostCopies, ACopyItsProgramNeverSentIsCountedAndToldInItsOwnWords)
{
    CaptureHarness h;
    h.pasteboard.simulateUnreadableCopy();
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.manager->lostCopyCount(), 1);
    EXPECT_EQ(h.told(), QStringList{L("Capture.Lost.NoAnswer")});
}

TEST(LostCopies, CopiesThatCameFasterThanTheyWereTakenAreCounted)
{
    CaptureHarness h;
    h.pasteboard.setAnnouncesChanges(false);
    const qsizetype extra = 3;
    for (qsizetype i = 0; i < Pasteboard::kMaxKeptChanges + extra; ++i)
        h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("copy %1").arg(i))});
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_EQ(h.manager->lostCopyCount(), extra);
    EXPECT_EQ(h.manager->itemCount(), Pasteboard::kMaxKeptChanges);
    EXPECT_EQ(h.told(), QStringList{L("Capture.Lost.NotTaken")});
}
