#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "core/store/PersistentStore.h"

#include <SQLiteCpp/Database.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

namespace {
void tick() { waitForTheClockToMove(); }

PBCategory kind(PBDefaultCategory type) { return PBCategory(std::nullopt, QString(), {}, {}, type, false, false); }
} // namespace

TEST(ItemEdits, CommentTextAndPinChangeTheRecordAsTheirRulesSay)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("first"));
    tick();
    h.copyText(QStringLiteral("second"));
    bool done = false;
    h.manager->updateComment(h.item(QStringLiteral("first")), QStringLiteral("remember"), [&] { done = true; });
    EXPECT_TRUE(done);
    EXPECT_EQ(h.item(QStringLiteral("first")).comment(), QStringLiteral("remember"));
    EXPECT_EQ(h.texts().first(), QStringLiteral("second")); // a comment does not move it
    h.manager->updateComment(h.item(QStringLiteral("first")), std::nullopt);
    EXPECT_FALSE(h.item(QStringLiteral("first")).comment());

    const QString hash = h.item(QStringLiteral("first")).hash();
    h.manager->updateText(h.item(QStringLiteral("first")), QStringLiteral("edited"));
    EXPECT_EQ(h.texts().first(), QStringLiteral("edited"));
    EXPECT_EQ(h.item(QStringLiteral("edited")).hash(), hash);

    h.manager->stickItem(h.item(QStringLiteral("second")), true);
    EXPECT_TRUE(h.item(QStringLiteral("second")).isSticky());
    EXPECT_EQ(h.texts().first(), QStringLiteral("second"));

    PBItem gone = h.item(QStringLiteral("second"));
    h.manager->deleteItem(gone);
    done = false;
    h.manager->stickItem(gone, false, [&] { done = true; });
    EXPECT_FALSE(done);
}

TEST(ItemEdits, TagsPostOnePerFoundItemAndBuiltInsCannotBeStrippedFromAll)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.copyText(QStringLiteral("a"));
    h.copyText(QStringLiteral("b"));
    const PBItem a = h.item(QStringLiteral("a"));
    const PBItem b = h.item(QStringLiteral("b"));
    PBItem gone = h.item(QStringLiteral("b"));
    h.copyText(QStringLiteral("c"));
    PBItem c = h.item(QStringLiteral("c"));
    h.manager->deleteItem(c);
    h.clearPosted();

    h.manager->addItems({a, b, c}, work);
    EXPECT_EQ(h.posted(NotificationName::categoryTagStatusChanged).size(), 2);
    h.manager->addItem(a, work);
    EXPECT_EQ(h.posted(NotificationName::categoryTagStatusChanged).size(), 3);
    QList<PBItem> inWork;
    h.manager->getItems(work, false, [&](const QList<PBItem> &items) { inWork = items; });
    EXPECT_EQ(inWork.size(), 2);

    h.manager->removeItem(a, work);
    h.manager->getItems(work, false, [&](const QList<PBItem> &items) { inWork = items; });
    EXPECT_EQ(inWork.size(), 1);
    h.manager->removeCategoryFromAllItems(kind(PBDefaultCategory::text));
    EXPECT_EQ(h.texts().size(), 2);
    h.manager->removeCategoryFromAllItems(work);
    h.manager->getItems(work, false, [&](const QList<PBItem> &items) { inWork = items; });
    EXPECT_TRUE(inWork.isEmpty());
}

TEST(Clearing, DeleteOfAGoneItemPostsNothing)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("x"));
    const PBItem x = h.item(QStringLiteral("x"));
    h.manager->deleteItem(x);
    EXPECT_EQ(h.posted(NotificationName::historyItemDidDelete).size(), 1);
    h.manager->deleteItem(x);
    EXPECT_EQ(h.posted(NotificationName::historyItemDidDelete).size(), 1);
    EXPECT_TRUE(h.texts().isEmpty());
}

TEST(Clearing, ClearAllKeepsNotesUnlessAskedAndTakesPinnedItems)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("pinned"));
    h.manager->stickItem(h.item(QStringLiteral("pinned")), true);
    h.copyText(QStringLiteral("plain"));
    h.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));
    h.manager->clearAllItems(false);
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("note")});
    EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 1);
    h.manager->clearAllItems(true);
    EXPECT_TRUE(h.texts().isEmpty());
    h.manager->clearAllItems(true);
    EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 3);
    h.manager->saveNow(); // deletions and the save agree
    EXPECT_TRUE(h.texts().isEmpty());
}

TEST(Clearing, ClearingACategorySparesWhatTheOptionsDoNotInclude)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    h.copyText(QStringLiteral("text"));
    h.copyText(QStringLiteral("pinned text"));
    h.manager->stickItem(h.item(QStringLiteral("pinned text")), true);
    h.copyText(QStringLiteral("https://example.org"));
    h.copyText(QStringLiteral("tagged"));
    h.manager->addItem(h.item(QStringLiteral("tagged")), work);
    h.manager->addNote(QStringLiteral("note"), QStringLiteral("body"));

    h.manager->clearItems(kind(PBDefaultCategory::text), {});
    EXPECT_EQ(h.texts().size(), 4); // "text" went; pinned, link, tagged and the note stay
    EXPECT_FALSE(h.texts().contains(QStringLiteral("text")));

    // A locked user category spares every user category's items.
    h.userCategory(QStringLiteral("Locked"), true);
    h.manager->clearItems(PBCategory::all(),
                          {.includeSticky = true, .includeNotes = false, .includeLock = false, .includeCustom = true});
    EXPECT_EQ(h.texts(), (QStringList{QStringLiteral("note"), QStringLiteral("tagged")}));

    h.clearPosted();
    h.manager->clearItems(work,
                          {.includeSticky = true, .includeNotes = true, .includeLock = true, .includeCustom = false});
    EXPECT_EQ(h.texts().size(), 2);
    const auto cleared = h.posted(NotificationName::historyItemsDidClear);
    ASSERT_EQ(cleared.size(), 1);
    EXPECT_EQ(cleared.first().userInfo.value(NotificationKey::info).value<PBCategory>().id(), work.id());

    // A category without a stored record posts nothing.
    h.clearPosted();
    h.manager->clearItems(
        PBCategory(QStringLiteral("nope"), QStringLiteral("Gone"), {}, {}, PBDefaultCategory::custom, false, false),
        {});
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());
}

TEST(Clearing, ClearsTheStoreRefusesKeepItemsAndBookmarksAndAnnounceNothing)
{
    CaptureHarness h;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.txt"));
    QFile(path).open(QIODevice::WriteOnly);
    h.copyFromOutside({CaptureHarness::fileItem(path)});
    h.copyText(QStringLiteral("text"));
    TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    cacher.waitUntilIdle();
    ASSERT_TRUE(cacher.hasBookMark(path));
    h.manager->saveNow();
    SQLite::Database &database = h.manager->storage().context()->store()->database();
    database.exec(
        "CREATE TEMP TRIGGER refuse BEFORE DELETE ON \"PBItemRecord\" BEGIN SELECT RAISE(ABORT, 'refused'); END");
    h.clearPosted();

    h.manager->clearAllItems(true);
    h.manager->clearItems(PBCategory::all(),
                          {.includeSticky = true, .includeNotes = true, .includeLock = true, .includeCustom = true});
    h.manager->clearItems(kind(PBDefaultCategory::file), {});
    h.settle();
    cacher.waitUntilIdle();
    EXPECT_EQ(h.texts().size(), 2);
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());
    EXPECT_TRUE(cacher.hasBookMark(path));

    database.exec("DROP TRIGGER temp.refuse");
    h.manager->clearItems(kind(PBDefaultCategory::file), {});
    h.settle();
    cacher.waitUntilIdle();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("text")});
    EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 1);
    EXPECT_FALSE(cacher.hasBookMark(path));
}

TEST(Clearing, ClearingEverythingDropsTheBookmarksOfTheFilesOnly)
{
    CaptureHarness h;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("plan.txt"));
    QFile(path).open(QIODevice::WriteOnly);
    h.copyFromOutside({CaptureHarness::fileItem(path)});
    h.copyText(QStringLiteral("words"));
    h.manager->addNote(QStringLiteral("kept"), QStringLiteral("note"));
    TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    cacher.waitUntilIdle();
    ASSERT_TRUE(cacher.hasBookMark(path));

    h.manager->clearAllItems(false);
    h.settle();
    cacher.waitUntilIdle();
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("kept")});
    EXPECT_FALSE(cacher.hasBookMark(path));
}

TEST(Clearing, NotificationsOfClearsFromAWorkerArriveOnTheMainThread)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("x"));
    const PBItem x = h.item(QStringLiteral("x"));
    std::thread worker([&] { h.manager->deleteItems({x}); });
    worker.join();
    EXPECT_TRUE(waitUntil([&] { return !h.posted(NotificationName::historyItemDidDelete).isEmpty(); }));
    EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).first().onMainThread);
}
