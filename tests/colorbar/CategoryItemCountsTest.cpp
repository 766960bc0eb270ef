#include "ColorBarTestSupport.h"

#include "colorbar/CategoryItemCounts.h"
#include "core/NotificationNames.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <atomic>
#include <mutex>

namespace {

using CategoryItemCountsTest = ColorBarTest;

PBCategory categoryOf(PBCategoryManager &categories, PBDefaultCategory kind)
{
    for (const PBCategory &category : categories.categories()) {
        if (category.type() == kind)
            return category;
    }
    return {};
}

// Every count the cache shows is the store's, and no count is under way.
bool agreesWithStore(const CategoryItemCounts &counts, PBCategoryManager &categories, TaviPBManager &history)
{
    if (counts.isCounting())
        return false;
    for (const PBCategory &category : categories.categories()) {
        if (counts.count(category.id()) != history.itemCount(category))
            return false;
    }
    return true;
}

void announceNewItem(const PBCategory &category)
{
    const PBItem item(QUuid::createUuid(), QStringLiteral("hash"), {category, PBCategory::all()}, std::nullopt,
                      QDateTime::currentDateTime(), QDateTime::currentDateTime(), std::nullopt, false, std::nullopt);
    NotificationCenter::defaultCenter().post(
        NotificationName::historyDidAddNewItem, nullptr,
        {{NotificationKey::info, QVariantMap{{category.id(), QVariant::fromValue(QList<PBItem>{item})}}}});
}

// A store whose counts a test sets, and whose counting a test can hold up.
struct HeldCounter {
    std::mutex mutex;
    QHash<QString, qsizetype> counts;
    QSemaphore gate{1000};
    bool countedOnGuiThread = false;
    int runs = 0;
    std::atomic<int> waiting{0};

    CategoryItemCounts::Counter counter()
    {
        return [this](const PBCategory &category) {
            ++waiting;
            gate.tryAcquire(1, 5000);
            --waiting;
            std::lock_guard lock(mutex);
            countedOnGuiThread =
                countedOnGuiThread || QThread::currentThread() == QCoreApplication::instance()->thread();
            ++runs;
            return counts.value(category.id());
        };
    }
    void set(const QString &id, qsizetype count)
    {
        std::lock_guard lock(mutex);
        counts[id] = count;
    }
};

TEST_F(CategoryItemCountsTest, CountsFollowCopiesDeletesMovesClearsAndImports)
{
    ShellHarness &shell = sharedShell();
    const PBCategory work = addCustom(QStringLiteral("Work"));
    const PBCategory home = addCustom(QStringLiteral("Home"));
    CategoryItemCounts counts(*shell.manager);
    counts.setCategories(categories().categories());
    const auto agrees = [&] { return agreesWithStore(counts, categories(), *shell.manager); };
    ASSERT_TRUE(waitUntil(agrees));

    // A copy adds to its categories and to All at once, without counting.
    const PBCategory text = categoryOf(categories(), PBDefaultCategory::text);
    const qsizetype texts = *counts.count(text.id());
    const qsizetype everything = *counts.count(PBCategory::all().id());
    shell.copyText(QStringLiteral("counted at once"));
    EXPECT_FALSE(counts.isCounting());
    EXPECT_EQ(counts.count(text.id()), texts + 1);
    EXPECT_EQ(counts.count(PBCategory::all().id()), everything + 1);
    EXPECT_TRUE(agrees());

    // A copy of several items at once adds each of them once, to All too.
    QList<PasteboardItem> batch;
    for (const QString &text :
         {QStringLiteral("batch one"), QStringLiteral("batch two"), QStringLiteral("batch three")}) {
        PasteboardItem copied;
        copied.setString(PasteboardType::string, text);
        batch.append(copied);
    }
    shell.pasteboard.simulateCopy(batch);
    shell.manager->retreivePasteboardInfo();
    ASSERT_TRUE(waitUntil([&] { return counts.count(PBCategory::all().id()) == everything + 4; }));
    EXPECT_FALSE(counts.isCounting());
    EXPECT_EQ(counts.count(text.id()), texts + 4);
    EXPECT_TRUE(agrees());
    for (const PasteboardItem &copied : std::as_const(batch))
        shell.manager->deleteItem(shell.item(*copied.string(PasteboardType::string)));
    ASSERT_TRUE(waitUntil(agrees));

    // Filed under a category, moved to another, deleted.
    const PBItem item = shell.item(QStringLiteral("counted at once"));
    shell.manager->addItem(item, work);
    ASSERT_TRUE(waitUntil(agrees));
    EXPECT_EQ(counts.count(work.id()), 1);
    shell.manager->removeItem(item, work);
    shell.manager->addItem(item, home);
    ASSERT_TRUE(waitUntil(agrees));
    EXPECT_EQ(counts.count(work.id()), 0);
    EXPECT_EQ(counts.count(home.id()), 1);
    shell.manager->deleteItem(shell.item(QStringLiteral("counted at once")));
    ASSERT_TRUE(waitUntil(agrees));
    EXPECT_EQ(counts.count(home.id()), 0);
    EXPECT_EQ(counts.count(text.id()), texts);

    // A change the store made without telling (as an import does) is counted when announced.
    shell.copyText(QStringLiteral("imported away"));
    shell.manager->addItem(shell.item(QStringLiteral("imported away")), work);
    ASSERT_TRUE(waitUntil(agrees));
    shell.manager->removeCategoryFromAllItems(work);
    EXPECT_EQ(counts.count(work.id()), 1);
    NotificationCenter::defaultCenter().post(NotificationName::remoteDataChanged);
    ASSERT_TRUE(waitUntil(agrees));
    EXPECT_EQ(counts.count(work.id()), 0);

    // Clearing a category.
    shell.manager->clearItems(text, {});
    ASSERT_TRUE(waitUntil(agrees));
    EXPECT_EQ(counts.count(text.id()), shell.manager->itemCount(text));
}

TEST_F(CategoryItemCountsTest, CategoriesAreCountedOffTheGuiThreadWhenTheyAppearAndForgottenWhenGone)
{
    HeldCounter store;
    const PBCategory text = categoryOf(categories(), PBDefaultCategory::text);
    const PBCategory work = addCustom(QStringLiteral("Work"));
    store.set(text.id(), 40);
    store.set(work.id(), 3);
    CategoryItemCounts counts(store.counter());
    counts.setCategories({text});
    EXPECT_FALSE(counts.count(text.id())) << "nothing is known before the count lands";
    ASSERT_TRUE(waitUntil([&] { return counts.count(text.id()) == 40; }));

    counts.setCategories({text, work});
    ASSERT_TRUE(waitUntil([&] { return counts.count(work.id()) == 3; }));
    EXPECT_EQ(store.runs, 2) << "a category already known is not counted again";
    counts.setCategories({work});
    EXPECT_FALSE(counts.count(text.id()));
    EXPECT_FALSE(store.countedOnGuiThread);
}

TEST_F(CategoryItemCountsTest, AnnouncementsThatRaceACountAreSettledByAQuietCount)
{
    HeldCounter store;
    const PBCategory text = categoryOf(categories(), PBDefaultCategory::text);
    store.set(text.id(), 5);
    CategoryItemCounts counts(store.counter());
    qint64 now = 0; // stands still until moved: a count lands "just now" however loaded the machine
    counts.setClockForTesting([&now] { return now; });
    counts.setSettleDelay(std::chrono::milliseconds(50));
    counts.setCategories({text});
    ASSERT_TRUE(waitUntil([&] { return counts.count(text.id()) == 5 && !counts.isCounting(); }));

    // Stored before the count read it, announced while it ran: counted twice until the quiet count.
    store.gate.acquire(store.gate.available());
    counts.recount();
    ASSERT_TRUE(waitUntil([&] { return store.waiting > 0; })); // the count is held at the gate
    store.set(text.id(), 6);
    announceNewItem(text);
    EXPECT_EQ(counts.count(text.id()), 6);
    store.gate.release(1000);
    EXPECT_TRUE(waitUntil([&] { return counts.count(text.id()) == 7; })) << "the result plus the announcement";
    EXPECT_TRUE(waitUntil([&] { return counts.count(text.id()) == 6 && !counts.isCounting(); }));

    // Announced just after a count that already held the item.
    store.set(text.id(), 7);
    counts.recount();
    ASSERT_TRUE(waitUntil([&] { return counts.count(text.id()) == 7 && !counts.isCounting(); }));
    announceNewItem(text);
    EXPECT_EQ(counts.count(text.id()), 8);
    EXPECT_TRUE(waitUntil([&] { return counts.count(text.id()) == 7 && !counts.isCounting(); }));

    // Long after the last count, an announcement is simply added.
    counts.setSettleDelay(std::chrono::milliseconds(10000));
    now += 2100;
    const int runs = store.runs;
    store.set(text.id(), 8);
    announceNewItem(text);
    EXPECT_EQ(counts.count(text.id()), 8);
    EXPECT_FALSE(counts.isCounting());
    EXPECT_EQ(store.runs, runs);
}

TEST_F(CategoryItemCountsTest, ABurstOfDeletesIsCountedOnce)
{
    HeldCounter store;
    const PBCategory text = categoryOf(categories(), PBDefaultCategory::text);
    store.set(text.id(), 10);
    CategoryItemCounts counts(store.counter());
    counts.setCategories({text});
    ASSERT_TRUE(waitUntil([&] { return counts.count(text.id()) == 10 && !counts.isCounting(); }));
    const int runs = store.runs;
    store.set(text.id(), 0);
    for (int i = 0; i < 10; ++i)
        NotificationCenter::defaultCenter().post(NotificationName::historyItemsDidClear);
    ASSERT_TRUE(waitUntil([&] { return counts.count(text.id()) == 0 && !counts.isCounting(); }));
    EXPECT_EQ(store.runs, runs + 1);
}

} // namespace
