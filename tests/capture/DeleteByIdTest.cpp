#include "CaptureTestSupport.h"

#include "core/NotificationNames.h"
#include "core/PBFileItemProvider.h"
#include "core/TPBookMarkCacher.h"
#include "core/store/PersistentStore.h"

#include <SQLiteCpp/Database.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

namespace {
int countOf(TaviPBManager &manager, const char *sql)
{
    return manager.storage().context()->store()->database().execAndGet(sql).getInt();
}

QStringList textsOf(const QList<PBItem> &items)
{
    QStringList texts;
    for (const PBItem &item : items)
        texts.append(item.dataProvider() ? item.dataProvider()->representedText() : QString());
    return texts;
}
} // namespace

TEST(DeletingById, ASelectionGoesInOneTransactionWithItsPayloadsLinksSearchEntriesAndBookmarks)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("minutes.txt"));
    QFile(path).open(QIODevice::WriteOnly);
    h.copyFromOutside({CaptureHarness::fileItem(path)});
    for (int i = 0; i < 24; ++i)
        h.copyText((i % 3 ? QStringLiteral("plain %1") : QStringLiteral("quarterly report %1")).arg(i));
    for (int i = 0; i < 24; i += 4)
        h.manager->addItem(h.item(QStringLiteral("plain %1").arg(i + 1)), work);
    TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    cacher.waitUntilIdle();
    ASSERT_TRUE(cacher.hasBookMark(path));
    ASSERT_TRUE(h.manager->saveNow());

    // Every other text, the file, an id no longer stored and a null one.
    QList<QUuid> chosen{QUuid::createUuid(), QUuid()};
    QStringList kept;
    const QList<PBItem> all = h.manager->getAllItems();
    for (int i = 0; i < all.size(); ++i) {
        const QString text = textsOf({all.at(i)}).first();
        const bool file = all.at(i).dataProvider() && all.at(i).dataProvider()->as<PBFileItemProvider>();
        if (i % 2 == 0 || file)
            chosen.append(all.at(i).uuid());
        else
            kept.append(text);
    }
    h.clearPosted();
    h.manager->deleteItems(chosen);
    h.settle();
    cacher.waitUntilIdle();

    EXPECT_EQ(h.texts(), kept);
    EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 1);
    EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).isEmpty());
    EXPECT_FALSE(cacher.hasBookMark(path));
    EXPECT_EQ(countOf(*h.manager, "SELECT count(*) FROM \"PBItemRecord\""), kept.size());
    EXPECT_EQ(countOf(*h.manager, "SELECT count(*) FROM \"PBPasteboardDataRecord\" WHERE \"item\" NOT IN "
                                  "(SELECT \"pk\" FROM \"PBItemRecord\")"),
              0);
    EXPECT_EQ(countOf(*h.manager, "SELECT count(*) FROM \"PBItemRecord_categories\" WHERE \"item\" NOT IN "
                                  "(SELECT \"pk\" FROM \"PBItemRecord\")"),
              0);

    // Search and counts agree with a scan of what is left, before and after the next save.
    for (int pass = 0; pass < 2; ++pass) {
        const PBSearchFilter search{{QStringLiteral("quarterly")}};
        QStringList expected = kept.filter(QStringLiteral("quarterly"));
        QStringList found = textsOf(h.manager->getFilterItemsPage(search, 0, 100));
        std::sort(expected.begin(), expected.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
        EXPECT_EQ(h.manager->filterItemCount(search), expected.size());
        QList<PBItem> inWork;
        h.manager->getItems(work, false, [&](const QList<PBItem> &items) { inWork = items; });
        EXPECT_EQ(h.manager->itemCount(work), inWork.size());
        EXPECT_EQ(h.manager->itemCount(), kept.size());
        ASSERT_TRUE(h.manager->saveNow());
    }
}

TEST(DeletingById, OneIdIsAnnouncedAsItsItemAndAGoneOneChangesNothing)
{
    CaptureHarness h;
    h.copyText(QStringLiteral("first"));
    h.copyText(QStringLiteral("second"));
    const PBItem first = h.item(QStringLiteral("first"));
    h.clearPosted();
    h.manager->deleteItems(QList<QUuid>{first.uuid()});
    h.settle();
    const auto deleted = h.posted(NotificationName::historyItemDidDelete);
    ASSERT_EQ(deleted.size(), 1);
    EXPECT_EQ(deleted.first().userInfo.value(NotificationKey::info).value<PBItem>().uuid(), first.uuid());
    ASSERT_TRUE(h.manager->saveNow());
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("second")});

    h.clearPosted();
    h.manager->deleteItems(QList<QUuid>{first.uuid()});
    h.manager->deleteItems(QList<QUuid>{});
    h.settle();
    EXPECT_TRUE(h.posted(NotificationName::historyItemDidDelete).isEmpty());
    EXPECT_EQ(h.texts(), QStringList{QStringLiteral("second")});
}

TEST(DeletingById, RunsOfAListsRowsTakeTheItemsListedThere)
{
    CaptureHarness h;
    const PBCategory work = h.userCategory(QStringLiteral("Work"));
    for (int i = 0; i < 30; ++i) {
        h.copyText(QStringLiteral("entry %1").arg(i));
        if (i % 2)
            h.manager->addItem(h.item(QStringLiteral("entry %1").arg(i)), work);
    }
    h.manager->stickItem(h.item(QStringLiteral("entry 7")), true);
    for (const TaviPBManager::ListQuery &query :
         {TaviPBManager::ListQuery{work, std::nullopt},
          TaviPBManager::ListQuery{std::nullopt, PBSearchFilter{{QStringLiteral("entry 1")}}},
          TaviPBManager::ListQuery{}}) {
        // The pinned row, a run below it, and a known item that is also in a run.
        const QList<PBItem> listed = h.manager->getItemsPage(query, 0, 100);
        ASSERT_GE(listed.size(), 6);
        QStringList expected = h.texts();
        for (int row : {0, 2, 3, 4})
            expected.removeOne(textsOf({listed.at(row)}).first());
        h.clearPosted();
        h.manager->deleteItems(TaviPBManager::ListRows{query, {listed.at(3).uuid()}, {{0, 1}, {2, 3}}, {}});
        h.settle();
        EXPECT_EQ(h.texts(), expected);
        EXPECT_EQ(h.posted(NotificationName::historyItemsDidClear).size(), 1);
        ASSERT_TRUE(h.manager->saveNow());
    }
    // Runs past the end take what is there; nothing there, nothing announced.
    h.clearPosted();
    h.manager->deleteItems(TaviPBManager::ListRows{{}, {}, {{500, 10}}, {}});
    h.settle();
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());
}

TEST(DeletingById, ARunWhoseNeighboursMovedSinceTheListShowedThemDeletesNothing)
{
    CaptureHarness h;
    for (int i = 0; i < 8; ++i)
        h.copyText(QStringLiteral("entry %1").arg(i));
    const QList<PBItem> listed = h.manager->getItemsPage({}, 0, 100);
    ASSERT_EQ(listed.size(), 8);
    // Rows 2 to 4 as the list saw them, between the items it showed at rows 1 and 5.
    const TaviPBManager::ListRows named{{}, {}, {{2, 3}}, {{listed.at(1).uuid(), listed.at(5).uuid()}}};

    // A copy lands on top first: by position, the run now holds row 1's item.
    h.copyText(QStringLiteral("newer"));
    const QStringList before = h.texts();
    h.clearPosted();
    h.manager->deleteItems(named);
    h.settle();
    EXPECT_EQ(h.texts(), before);
    EXPECT_TRUE(h.posted(NotificationName::historyItemsDidClear).isEmpty());

    // Where the list still holds them, those rows go.
    const QList<PBItem> now = h.manager->getItemsPage({}, 0, 100);
    h.manager->deleteItems(TaviPBManager::ListRows{{}, {}, {{3, 3}}, {{now.at(2).uuid(), now.at(6).uuid()}}});
    h.settle();
    QStringList expected = before;
    for (int row : {3, 4, 5})
        expected.removeOne(textsOf({now.at(row)}).first());
    EXPECT_EQ(h.texts(), expected);
}
