#include "CaptureTestSupport.h"

#include "core/TaviSettings.h"
#include "core/store/PBItemRecord.h"

#include <gtest/gtest.h>

#include <SQLiteCpp/Database.h>

#include <future>
#include <thread>

namespace {

QStringList textsOf(const QList<PBItem> &items)
{
    QStringList texts;
    for (const PBItem &item : items)
        texts.append(item.dataProvider() ? item.dataProvider()->representedText() : QString());
    return texts;
}

// Reads every row of the query a page of `size` at a time.
QList<PBItem> readInPages(TaviPBManager &manager, const TaviPBManager::ListQuery &query, int size)
{
    QList<PBItem> all;
    for (qsizetype offset = 0;; offset += size) {
        const QList<PBItem> page = manager.getItemsPage(query, offset, size);
        all += page;
        if (page.size() < size)
            return all;
    }
}

// Texts a, b, ... copied a moment apart; "b" and "d" pinned; "c" and "e" in the user's category.
struct ListFixture {
    ListFixture()
    {
        for (const char *text : {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot"}) {
            h.copyText(QString::fromLatin1(text));
            waitForTheClockToMove();
        }
        h.manager->stickItem(h.item(QStringLiteral("bravo")), true);
        h.manager->stickItem(h.item(QStringLiteral("delta")), true);
        mine = h.userCategory(QStringLiteral("Mine"));
        h.manager->addItem(h.item(QStringLiteral("charlie")), mine);
        h.manager->addItem(h.item(QStringLiteral("echo")), mine);
        h.settle();
    }
    CaptureHarness h;
    PBCategory mine;
};

PBCategory kindCategory(PBCategoryManager &categories, PBDefaultCategory kind)
{
    for (const PBCategory &category : categories.categories()) {
        if (category.type() == kind)
            return category;
    }
    return {};
}

} // namespace

TEST(ListQueries, PagesOfACategoryMatchItsWholeListPinnedFirst)
{
    ListFixture f;
    TaviPBManager::ListQuery text{kindCategory(*f.h.categories, PBDefaultCategory::text), std::nullopt, {}};
    const QStringList expected{"delta", "bravo", "foxtrot", "echo", "charlie", "alpha"};
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, text, 4)), expected);
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, text, 1)), expected);
    EXPECT_EQ(f.h.manager->itemCount(text), 6);

    TaviPBManager::ListQuery mine{f.mine, std::nullopt, {}};
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, mine, 1)), QStringList({"echo", "charlie"}));
    EXPECT_EQ(f.h.manager->itemCount(mine), 2);
}

TEST(ListQueries, TheOrderAppliesToUnpinnedRowsOnly)
{
    ListFixture f;
    TaviPBManager::ListQuery byTitle{PBCategory::all(), std::nullopt, {QStringLiteral("text"), true}};
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, byTitle, 2)),
              QStringList({"delta", "bravo", "alpha", "charlie", "echo", "foxtrot"}));
}

TEST(ListQueries, ATitleOrderReadsAsAPersonReadsPageByPage)
{
    CaptureHarness h;
    for (const char *text : {"zebra", "Apple", "\u00e9clair", "banana", "Echo"})
        h.copyText(QString::fromUtf8(text));
    const QStringList ascending{"Apple", "banana", "Echo", "\u00e9clair", "zebra"};
    TaviPBManager::ListQuery byTitle{PBCategory::all(), std::nullopt, {QStringLiteral("text"), true}};
    EXPECT_EQ(textsOf(readInPages(*h.manager, byTitle, 2)), ascending);
    byTitle.order.ascending = false;
    QStringList descending = ascending;
    std::reverse(descending.begin(), descending.end());
    EXPECT_EQ(textsOf(readInPages(*h.manager, byTitle, 3)), descending);
}

TEST(ListQueries, TheListsSearchIsItsOwnAndLeavesTheSharedFilterAlone)
{
    ListFixture f;
    f.h.manager->setFilter(PBSearchFilter{{QStringLiteral("alpha")}});
    TaviPBManager::ListQuery search{PBCategory::all(), PBSearchFilter{{QStringLiteral("HO")}}, {}};
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, search, 5)), QStringList({"echo"}));
    EXPECT_EQ(f.h.manager->itemCount(search), 1);
    // Pinned items are found and counted as well.
    search.search = PBSearchFilter{{QStringLiteral("ELTA")}};
    EXPECT_EQ(textsOf(readInPages(*f.h.manager, search, 5)), QStringList({"delta"}));
    EXPECT_EQ(f.h.manager->itemCount(search), 1);
    // A search with a blank is one keyword.
    search.search = PBSearchFilter{{QStringLiteral("a l")}};
    EXPECT_EQ(f.h.manager->itemCount(search), 0);
    EXPECT_EQ(f.h.manager->filter()->keywords, QStringList({"alpha"}));
}

TEST(ListQueries, ACategoryWithoutItsRecordOrAnEmptySearchListsNothing)
{
    ListFixture f;
    const PBCategory gone(std::nullopt, QStringLiteral("Gone"), Qt::red, Qt::white, PBDefaultCategory::custom, false,
                          false);
    TaviPBManager::ListQuery none{gone, std::nullopt, {}};
    EXPECT_TRUE(f.h.manager->getItemsPage(none, 0, 10).isEmpty());
    EXPECT_EQ(f.h.manager->itemCount(none), 0);
    TaviPBManager::ListQuery empty{PBCategory::all(), PBSearchFilter{{QString()}}, {}};
    EXPECT_EQ(f.h.manager->itemCount(empty), 0);
    EXPECT_TRUE(f.h.manager->getItemsPage(TaviPBManager::ListQuery{}, -1, 10).isEmpty());
}

TEST(ListQueries, DeepPagesReadAfterEarlierOnesEqualTheWholeListWithPinsAndTies)
{
    CaptureHarness h;
    for (int i = 0; i < 60; ++i)
        h.copyText(QStringLiteral("item %1").arg(i));
    for (const int i : {3, 17, 40})
        h.manager->stickItem(h.item(QStringLiteral("item %1").arg(i)), true);
    h.settle();
    for (const SortDescriptor &order : {SortDescriptor{}, SortDescriptor{QStringLiteral("text"), true}}) {
        const TaviPBManager::ListQuery all{PBCategory::all(), std::nullopt, order};
        const QStringList whole = textsOf(h.manager->getItemsPage(all, 0, 1000));
        ASSERT_EQ(whole.size(), 60);
        // Across the pinned rows' end, page by page and a few pages at a time.
        for (const int stride : {1, 3}) {
            for (int offset = 0; offset < 60; offset += 2 * stride)
                EXPECT_EQ(textsOf(h.manager->getItemsPage(all, offset, 2)), whole.mid(offset, 2))
                    << order.key.toStdString() << " at " << offset;
        }
    }
}

TEST(ListQueries, PagesAndCountsAreAnsweredWhileAWriteHoldsTheStore)
{
    ListFixture f;
    const std::shared_ptr<ManagedObjectContext> context = f.h.categories->context();
    ASSERT_TRUE(context->save());
    const TaviPBManager::ListQuery all{},
        text{kindCategory(*f.h.categories, PBDefaultCategory::text), std::nullopt, {}}, mine{f.mine, std::nullopt, {}};
    const auto read = [&] {
        QList<std::pair<QStringList, qsizetype>> lists;
        for (const auto &query : {all, text, mine})
            lists.append({textsOf(f.h.manager->getItemsPage(query, 1, 4)), f.h.manager->itemCount(query)});
        return lists;
    };
    const auto before = read();
    ASSERT_EQ(before.value(2), std::pair(QStringList{"charlie"}, qsizetype(2)));

    // Another connection's write transaction; a batch delete waits for it under the context's lock.
    SQLite::Database other(context->store()->path().toStdString(), SQLite::OPEN_READWRITE, 10000);
    other.exec("BEGIN IMMEDIATE");
    std::future<bool> deletion = std::async(std::launch::async, [&] {
        return context
            ->executeBatchDelete(PBItemRecord::entityDescription(),
                                 Predicate::equal(QStringLiteral("text"), QStringLiteral("none such")))
            .has_value();
    });
    ASSERT_TRUE(waitUntil([&] {
        if (!context->mutex().try_lock())
            return true;
        context->mutex().unlock();
        return false;
    }));
    EXPECT_EQ(read(), before);
    EXPECT_EQ(deletion.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "read without waiting";
    other.exec("COMMIT");
    EXPECT_TRUE(deletion.get());

    // An unsaved change is in the next page read at once.
    const QStringList top = textsOf(f.h.manager->getItemsPage(all, 0, 3));
    auto delta = PBItemRecord::fetchRequest();
    delta.predicate = Predicate::equal(QStringLiteral("text"), QStringLiteral("delta"));
    context->fetch(delta).value().value(0)->setIs_sticky(false);
    ASSERT_FALSE(context->readsMatchStore());
    const QStringList unsaved = textsOf(f.h.manager->getItemsPage(all, 0, 3));
    EXPECT_EQ(unsaved.value(0), QStringLiteral("bravo"));
    EXPECT_NE(unsaved, top);
    ASSERT_TRUE(context->save());
    EXPECT_EQ(textsOf(f.h.manager->getItemsPage(all, 0, 3)), unsaved);
}
