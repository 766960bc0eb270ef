#include "CaptureTestSupport.h"

#include "capture/PBItemRecordConversion.h"
#include "core/NotificationNames.h"
#include "core/TaviSettings.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {
QStringList idsOf(const PostedNotification &notification)
{
    return notification.userInfo.value(NotificationKey::info).toMap().keys();
}

QList<PBItem> itemsUnder(const PostedNotification &notification, const QString &id)
{
    return notification.userInfo.value(NotificationKey::info).toMap().value(id).value<QList<PBItem>>();
}

QByteArray pngBytes()
{
    QImage image(4, 4, QImage::Format_RGB32);
    image.fill(Qt::green);
    return pngOf(image);
}
} // namespace

TEST(Capture, WhatIsOnThePasteboardAtLaunchIsNotRecorded)
{
    CaptureHarness h;
    h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("before"))});
    h.manager = std::make_unique<TaviPBManager>(h.pasteboard, h.workspace, *h.categories);
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_TRUE(h.texts().isEmpty());
    h.copyText(QStringLiteral("after"));
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("after")});
}

TEST(Capture, TwoItemsOfOneCopyAreAnnouncedOnceOnTheMainThread)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.categories->setActiveCategory(work);
    const int before = TaviSettings::shared().copyTotalTimes();
    h.copyFromOutside(
        {CaptureHarness::textItem(QStringLiteral("one")), CaptureHarness::textItem(QStringLiteral("two"))});

    const auto added = h.posted(NotificationName::historyDidAddNewItem);
    ASSERT_EQ(added.size(), 1);
    EXPECT_TRUE(added.first().onMainThread);
    const auto items = added.first().userInfo.value(NotificationKey::items).value<QList<PBItem>>();
    ASSERT_EQ(items.size(), 2);
    EXPECT_EQ(items[0].dataProvider()->representedText(), QStringLiteral("one"));
    EXPECT_EQ(items[1].dataProvider()->representedText(), QStringLiteral("two"));
    QStringList expected{QStringLiteral("0"), QStringLiteral("1"), work.id()};
    expected.sort();
    EXPECT_EQ(idsOf(added.first()), expected);
    EXPECT_EQ(itemsUnder(added.first(), QStringLiteral("0")).size(), 2);
    EXPECT_EQ(TaviSettings::shared().copyTotalTimes(), before + 1);
}

TEST(Capture, RepeatedCopyBumpsTheStoredItemAndPinnedOnesKeepTheirTime)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("a"));
    h.copyText(QStringLiteral("b"));
    h.clearPosted();
    h.copyText(QStringLiteral("a"));
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_TRUE(h.posted(NotificationName::historyDidAddNewItem).isEmpty());
    const auto updated = h.posted(NotificationName::historyItemDidUpdate);
    ASSERT_EQ(updated.size(), 1);
    EXPECT_EQ(idsOf(updated.first()), (QStringList{QStringLiteral("0"), QStringLiteral("1")}));

    const PBItem b = h.item(QStringLiteral("b"));
    h.manager->stickItem(b, true);
    const QDateTime pinnedAt = h.item(QStringLiteral("b")).modifiedTime();
    waitForTheClockToMove();
    h.copyText(QStringLiteral("b"));
    EXPECT_EQ(h.item(QStringLiteral("b")).modifiedTime(), pinnedAt);
}

TEST(Capture, RepeatIsFoundWhateverTheSearchOrSortOfTheLists)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("alpha"));
    h.copyText(QStringLiteral("beta"));
    h.manager->setFilter(PBSearchFilter{{QStringLiteral("beta")}});
    h.manager->reloadRecords(RecordSorter::title, false);
    h.copyText(QStringLiteral("alpha"));
    h.manager->setFilter(std::nullopt);
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("alpha"), QStringLiteral("beta")}));
}

TEST(Capture, PausedAndBlacklistedCopiesAreConsumedAndOneWithoutApplicationIsKept)
{
    CaptureHarness h;
    h.manager->setPaused(true);
    h.copyText(QStringLiteral("while paused"));
    h.manager->setPaused(false);
    h.manager->retreivePasteboardInfo();
    h.settle();

    RunningApplication keychain = CaptureHarness::editor();
    keychain.bundleIdentifier = QStringLiteral("org.keepassxc.KeePassXC"); // ignored by default
    h.workspace.setFrontmostApplication(keychain);
    h.copyText(QStringLiteral("secret"));
    h.workspace.setFrontmostApplication(CaptureHarness::editor());
    h.manager->retreivePasteboardInfo();
    EXPECT_TRUE(h.texts().isEmpty());

    h.workspace.setFrontmostApplication(std::nullopt);
    h.copyText(QStringLiteral("nobody"));
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("nobody")});
}

TEST(Capture, EveryChangeOfABurstIsStoredInOrderWithTheApplicationOfItsMoment)
{
    CaptureHarness h;
    QList<RunningApplication> apps;
    for (const char *name : {"Writer", "Browser", "Terminal"}) {
        RunningApplication app;
        app.localizedName = QString::fromLatin1(name);
        app.bundleIdentifier = QStringLiteral("org.example.") + app.localizedName;
        apps.append(app);
        h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("from ") + app.localizedName)}, app);
    }
    // Meanwhile another application came to the front: it made none of the copies.
    h.workspace.setFrontmostApplication(CaptureHarness::editor());
    h.manager->retreivePasteboardInfo();
    h.settle();

    const QList<PBItem> items = h.manager->getAllItems();
    ASSERT_EQ(items.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const RunningApplication &app = apps[2 - i];
        EXPECT_EQ(items[i].dataProvider()->representedText(), QStringLiteral("from ") + app.localizedName);
        ASSERT_TRUE(items[i].sourceApp());
        EXPECT_EQ(items[i].sourceApp()->name, app.localizedName);
    }
    EXPECT_EQ(h.posted(NotificationName::historyDidAddNewItem).size(), 3);
}

TEST(Capture, AChangeStartsItsBatchWithoutWaitingForThePoll)
{
    CaptureHarness h;
    h.manager->startMonitoring(std::chrono::hours(1));
    h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("at once"))});
    EXPECT_TRUE(waitUntil([&] { return !h.posted(NotificationName::historyDidAddNewItem).isEmpty(); }, 5000));
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("at once")});
    h.manager->stopMonitoring();
}

TEST(Capture, OnlyAPasteboardThatIsNotToldOfItsChangesIsPolled)
{
    CaptureHarness h;
    h.manager->startMonitoring(std::chrono::milliseconds(10));
    EXPECT_FALSE(h.manager->isPolling()) << "an idle program must not wake for nothing";
    h.manager->stopMonitoring();

    h.pasteboard.setAnnouncesChanges(false);
    h.manager->startMonitoring(std::chrono::milliseconds(10));
    EXPECT_TRUE(h.manager->isPolling());
    h.pasteboard.simulateCopy({CaptureHarness::textItem(QStringLiteral("found by the poll"))});
    EXPECT_TRUE(waitUntil([&] { return !h.posted(NotificationName::historyDidAddNewItem).isEmpty(); }, 5000));
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("found by the poll")});
    h.manager->stopMonitoring();
}

TEST(Capture, ListsHoldTheHeadOfALargeCopyAndCopyOutGivesAllOfIt)
{
    CaptureHarness h;
    QString large;
    for (int i = 0; large.size() < 300 * 1024; ++i)
        large += QStringLiteral("line %1 of a long log\n").arg(i);
    h.copyText(large);
    const auto added = h.posted(NotificationName::historyDidAddNewItem);
    ASSERT_EQ(added.size(), 1);
    const auto announced = added.first().userInfo.value(NotificationKey::items).value<QList<PBItem>>();
    ASSERT_EQ(announced.size(), 1);
    EXPECT_EQ(announced.first().dataProvider()->representedText(), large.left(kListTextLength));
    EXPECT_TRUE(announced.first().dataProvider()->pasteboardData().isEmpty());

    for (bool saved : {false, true}) {
        if (saved)
            h.manager->saveNow();
        const PBItem listed = h.manager->getItemsPage(0, 1).value(0);
        ASSERT_TRUE(listed.dataProvider());
        EXPECT_EQ(listed.dataProvider()->representedText(), large.left(kListTextLength));
        EXPECT_EQ(h.manager->loadFullItem(listed).dataProvider()->representedText(), large);
        h.manager->copy({listed}, std::nullopt);
        EXPECT_EQ(h.pasteboard.contents().value(0).string(PasteboardType::string), large);
    }
    // The stored representations, not only the plain text.
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    h.manager->copy({h.manager->getItemsPage(0, 1).value(0)}, std::nullopt);
    EXPECT_EQ(h.pasteboard.contents().value(0).string(PasteboardType::string), large);
}

TEST(Capture, ContentIsStoredOnceAndReadBackWhole)
{
    CaptureHarness h;
    TaviSettings::shared().setAlwaysCopyPlainText(false);
    const QString text = QStringLiteral("plain words ") + QString(200, QChar(0x00e9));
    PasteboardItem html = CaptureHarness::textItem(QStringLiteral("marked-up words"));
    html.setData(PasteboardType::html, "<b>marked-up words</b>");
    PasteboardItem image;
    image.setData(PasteboardType::png, pngOf(QImage(QSize(3, 2), QImage::Format_RGB32)));
    h.copyText(text);
    h.copyFromOutside({html});
    h.copyFromOutside({image});
    h.manager->saveNow();
    SQLite::Database &database = h.manager->storage().context()->store()->database();
    QStringList stored;
    SQLite::Statement rows(
        database, "SELECT i.\"text\", i.\"data\" IS NULL, p.\"type\", length(p.\"data\") = 0 FROM \"PBItemRecord\" i "
                  "JOIN \"PBPasteboardDataRecord\" p ON p.\"item\" = i.\"pk\" ORDER BY i.\"pk\", p.\"pk\"");
    while (rows.executeStep()) {
        const QString type = QString::fromUtf8(rows.getColumn(2).getText());
        const QString label = type == PasteboardType::png ? QStringLiteral("image")
                                                          : QString::fromUtf8(rows.getColumn(0).getText()).left(12);
        stored << QStringLiteral("%1 %2 %3 %4")
                      .arg(label, rows.getColumn(1).getInt() ? QStringLiteral("-") : QStringLiteral("data"),
                           QString::fromUtf8(rows.getColumn(2).getText()),
                           rows.getColumn(3).getInt() ? QStringLiteral("-") : QStringLiteral("bytes"));
    }
    const QStringList expected{QStringLiteral("plain words  - public.utf8-plain-text -"),
                               QStringLiteral("marked-up wo data public.html bytes"),
                               QStringLiteral("marked-up wo data public.utf8-plain-text -"),
                               QStringLiteral("image data public.png -")};
    EXPECT_EQ(stored, expected);

    for (const PBItem &item : h.manager->getItemsPage(0, 3)) {
        const PBItem full = h.manager->loadFullItem(item);
        h.manager->copy({item}, std::nullopt);
        const PasteboardItem copied = h.pasteboard.contents().value(0);
        if (full.dataProvider()->is<PBImageItemProvider>()) {
            EXPECT_EQ(copied.data(PasteboardType::png), image.data(PasteboardType::png));
        } else if (full.dataProvider()->representedText() == text) {
            EXPECT_EQ(full.dataProvider()->accosicatedData().toByteArray(), text.toUtf8());
            EXPECT_EQ(copied.string(PasteboardType::string), text);
        } else {
            EXPECT_EQ(copied.data(PasteboardType::html), html.data(PasteboardType::html));
            EXPECT_EQ(copied.string(PasteboardType::string), QStringLiteral("marked-up words"));
        }
    }
    // An edited text keeps the representation it was copied with, as before the edit.
    h.manager->updateText(h.item(text), QStringLiteral("edited"));
    h.manager->saveNow();
    h.manager->copy({h.item(QStringLiteral("edited"))}, std::nullopt);
    EXPECT_EQ(h.pasteboard.contents().value(0).string(PasteboardType::string), text);
}

TEST(Capture, ALargeSaveLeavesNoLargeWriteAheadLog)
{
    CaptureHarness h;
    // Random pixels: a PNG of about 6 MB.
    QImage pixels(1400, 1400, QImage::Format_RGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < pixels.height(); ++y) {
        auto *line = reinterpret_cast<quint32 *>(pixels.scanLine(y));
        for (int x = 0; x < pixels.width(); ++x)
            line[x] = random.generate();
    }
    const QByteArray noise = pngOf(pixels);
    PasteboardItem image;
    image.setData(PasteboardType::png, noise);
    h.copyFromOutside({image});
    h.manager->saveNow();
    const QString wal = CoreDataStack::shared().storePath() + QStringLiteral("-wal");
    EXPECT_TRUE(waitUntil([&] { return QFileInfo(wal).size() < 1024 * 1024; }, 10000)) << QFileInfo(wal).size();
    const PBItem stored = h.manager->loadFullItem(h.manager->getItemsPage(0, 1).value(0));
    ASSERT_TRUE(stored.dataProvider());
    EXPECT_EQ(stored.dataProvider()->accosicatedData().toByteArray(), noise);
}

TEST(Capture, OwnCopyOutIsSkippedButTheNextCopyIsNotLost)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("kept"));
    const PBItem kept = h.item(QStringLiteral("kept"));

    h.manager->copy({kept}, std::nullopt);
    EXPECT_TRUE(h.manager->needIgnoreFromSelfCopy());
    h.manager->retreivePasteboardInfo();
    EXPECT_FALSE(h.manager->needIgnoreFromSelfCopy());
    h.copyText(QStringLiteral("next"));
    EXPECT_EQ(h.texts().size(), 2);

    // Copy-out while paused, then another program's copy after resuming.
    h.manager->copy({kept}, std::nullopt);
    h.manager->setPaused(true);
    h.manager->retreivePasteboardInfo();
    h.manager->setPaused(false);
    h.copyText(QStringLiteral("after resume"));
    EXPECT_TRUE(h.texts().contains(QStringLiteral("after resume")));

    // Another program copies within the same tick as our copy-out.
    h.manager->copy({kept}, std::nullopt);
    h.copyText(QStringLiteral("same tick"));
    EXPECT_TRUE(h.texts().contains(QStringLiteral("same tick")));
}

TEST(Capture, IgnoreSettingsApplyToNewItemsOnly)
{
    CaptureHarness h;
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QDir().mkpath(folder);
    const QString file = dir.filePath(QStringLiteral("notes.txt"));
    QFile(file).open(QIODevice::WriteOnly);
    TaviSettings &settings = TaviSettings::shared();

    settings.setIgnoreDirectory(true);
    h.copyFromOutside({CaptureHarness::fileItem(folder)});
    h.copyFromOutside({CaptureHarness::fileItem(file)});
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("notes.txt")});
    settings.setIgnoreDirectory(false);
    settings.setIgnoreFile(true);
    h.copyFromOutside({CaptureHarness::fileItem(folder)});
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("folder"), QStringLiteral("notes.txt")}));

    PasteboardItem image;
    image.setData(PasteboardType::png, pngBytes());
    h.copyFromOutside({image});
    EXPECT_EQ(h.texts().size(), 3);
    settings.setIgnoreImage(true);
    h.clearPosted();
    h.copyFromOutside({image});
    EXPECT_EQ(h.texts().size(), 3);
    EXPECT_EQ(h.posted(NotificationName::historyItemDidUpdate).size(), 1);
    PasteboardItem other;
    other.setData(PasteboardType::png, pngBytes() + "x");
    h.copyFromOutside({other});
    EXPECT_EQ(h.texts().size(), 3);
}

TEST(Capture, EmptyOrUnreadableChangeEndsTheBatchAndPostsNothing)
{
    CaptureHarness h;
    h.copyFromOutside({});
    EXPECT_FALSE(h.manager->isProcessing());
    h.pasteboard.simulateUnreadableCopy();
    h.manager->retreivePasteboardInfo();
    h.settle();
    EXPECT_FALSE(h.manager->isProcessing());
    EXPECT_TRUE(h.posted(NotificationName::historyDidAddNewItem).isEmpty());
    h.copyText(QStringLiteral("still capturing"));
    EXPECT_EQ(h.texts().size(), 1);
}

TEST(Capture, FailedInsertIsNeitherAnnouncedNorCounted)
{
    CaptureHarness h;
    // No category records to file items under.
    for (const auto &record :
         h.categories->storage().fetch(std::nullopt).value_or(QList<std::shared_ptr<PBCategoryRecord>>()))
        h.categories->storage().deleteRecord(record);
    const int before = TaviSettings::shared().copyTotalTimes();
    h.copyText(QStringLiteral("nowhere to go"));
    EXPECT_TRUE(h.posted(NotificationName::historyDidAddNewItem).isEmpty());
    EXPECT_EQ(TaviSettings::shared().copyTotalTimes(), before);
}

TEST(Capture, ChangesAreSavedSoonAfterABatch)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("durable"));
    EXPECT_TRUE(h.manager->saveScheduler().isPending());
    EXPECT_TRUE(waitUntil([&] { return !CoreDataStack::shared().managedContext()->hasChanges(); }, 3000));
    h.copyText(QStringLiteral("flushed"));
    h.manager->saveNow();
    EXPECT_FALSE(CoreDataStack::shared().managedContext()->hasChanges());
}

TEST(Capture, RandomCopiesNeverLoseStoredItems)
{
    CaptureHarness h;
    const QStringList types{PasteboardType::string,    PasteboardType::html,      PasteboardType::rtf,
                            PasteboardType::png,       PasteboardType::fileURL,   QStringLiteral("com.example.odd"),
                            PasteboardType::concealed, QStringLiteral("dyn.xyz"), QStringLiteral("public.image")};
    QRandomGenerator random(4242);
    qsizetype stored = 0;
    for (int round = 0; round < 120; ++round) {
        QList<PasteboardItem> items;
        for (int i = int(random.bounded(3)); i > 0; --i) {
            PasteboardItem item;
            QByteArray data(int(random.bounded(300)), Qt::Uninitialized);
            for (char &c : data)
                c = char(random.bounded(256));
            if (random.bounded(3) == 0)
                data = QByteArray::number(random.bounded(20)); // repeats
            item.setData(types.at(int(random.bounded(types.size()))), data);
            items.append(item);
        }
        h.copyFromOutside(items);
        const qsizetype now = h.manager->itemCount();
        ASSERT_GE(now, stored);
        stored = now;
    }
    EXPECT_GT(stored, 0);
}
