#include "core/ColorExtensions.h"
#include "core/NotificationNames.h"
#include "core/PBCategoryManager.h"
#include "core/TaviSettings.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/NotificationCenter.h"
#include "support/TestEnvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {
using Records = QList<std::shared_ptr<PBCategoryRecord>>;

QStringList idsOf(const QList<PBCategory> &categories)
{
    QStringList ids;
    for (const PBCategory &category : categories)
        ids.append(category.id());
    return ids;
}

PBCategory userCategory(const QString &name, const std::optional<QString> &id = std::nullopt)
{
    return PBCategory(id, name, QColor(0x11, 0x22, 0x33), QColor(0xEE, 0xEE, 0xEE), PBDefaultCategory::custom, false,
                      false);
}

class CategoryManager : public ::testing::Test {
protected:
    CategoryManager() : m_stack(m_dir.filePath(QStringLiteral("PBHistory.sqlite"))) {}

    std::shared_ptr<ManagedObjectContext> context() { return m_stack.managedContext(); }

    void addRecord(const QString &id, const QString &type, qint64 index, const QString &name = QStringLiteral("n"),
                   bool locked = false)
    {
        auto record = context()->insertNewObject<PBCategoryRecord>();
        record->setId(id);
        record->setType(type);
        record->setIndex(index);
        record->setName(name);
        record->setBgColorHexStr(QStringLiteral("#112233"));
        record->setFgColorHexStr(QStringLiteral("#ECF0F1"));
        record->setIsLock(locked);
    }

    Records recordsWithId(const QString &id)
    {
        auto request = PBCategoryRecord::fetchRequest();
        request.predicate = Predicate::equal(QStringLiteral("id"), id);
        return context()->fetch(request).value_or(Records());
    }

    int countPosts(const QString &name, const std::function<void()> &work)
    {
        int posts = 0;
        const auto token =
            NotificationCenter::defaultCenter().addObserver(name, [&](const Notification &) { ++posts; });
        work();
        NotificationCenter::defaultCenter().removeObserver(token);
        return posts;
    }

    ScopedXdgHome m_home;
    QTemporaryDir m_dir;
    CoreDataStack m_stack;
};
} // namespace

TEST_F(CategoryManager, AnEmptyStoreIsSeededWithTheBuiltInCategories)
{
    PBCategoryManager manager(context());
    const QList<PBCategory> categories = manager.categories();
    EXPECT_EQ(idsOf(categories), (QStringList{"0", "1", "2", "3", "4", "5", "6", "7"}));
    EXPECT_EQ(categories.at(3).type(), PBDefaultCategory::image);
    EXPECT_EQ(categories.at(3).name(), localizedName(PBDefaultCategory::image));
    EXPECT_EQ(hexString(categories.at(3).backgroundColor()),
              hexString(defaultBackgroundColor(PBDefaultCategory::image)));
    const Records records = manager.storage().fetchedObjects().value_or(Records());
    ASSERT_EQ(records.size(), 8);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(records.at(i)->index(), i);
        EXPECT_FALSE(records.at(i)->isHidden());
    }
    EXPECT_TRUE(manager.customCategories().isEmpty());
}

TEST_F(CategoryManager, TheSeedSurvivesASaveAndIsNotRepeated)
{
    {
        PBCategoryManager manager(context());
        ASSERT_TRUE(context()->save());
    }
    PBCategoryManager again(context());
    EXPECT_EQ(again.categories().size(), 8);
    EXPECT_EQ(again.storage().fetchedObjects()->size(), 8);
}

TEST_F(CategoryManager, AMissingBuiltInKindJoinsAtTheLastIndex)
{
    const QStringList kinds = {"all", "text", "link", "image", "file", "note", "other"};
    for (int i = 0; i < kinds.size(); ++i)
        addRecord(QString::number(i), kinds.at(i), i);
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 7);
    addRecord(QStringLiteral("U2"), QStringLiteral("custom"), 8);
    ASSERT_TRUE(context()->save());

    PBCategoryManager manager(context());
    const Records email = recordsWithId(QStringLiteral("7"));
    ASSERT_EQ(email.size(), 1);
    EXPECT_EQ(email.first()->index(), 8);
    EXPECT_EQ(email.first()->type(), QStringLiteral("email"));
    // Equal indexes keep the stored order: the new record comes after the older one.
    EXPECT_EQ(idsOf(manager.categories()).mid(7), (QStringList{"U1", "U2", "7"}));
}

TEST_F(CategoryManager, UserCategoriesStartUnlocked)
{
    addRecord(QStringLiteral("0"), QStringLiteral("all"), 0);
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 1, QStringLiteral("Work"), true);
    PBCategoryManager manager(context());
    const auto work = manager.categoryWithId(QStringLiteral("U1"));
    ASSERT_TRUE(work);
    EXPECT_FALSE(work->isLocked());
    EXPECT_FALSE(recordsWithId(QStringLiteral("U1")).first()->isLock());
}

TEST_F(CategoryManager, OnlyUserCategoriesAreAddedOrDeleted)
{
    PBCategoryManager manager(context());
    const PBCategory work = userCategory(QStringLiteral("Work"));
    manager.add(PBCategory(std::nullopt, QStringLiteral("Text again"), Qt::red, Qt::white, PBDefaultCategory::text,
                           false, false));
    manager.add(work);
    EXPECT_EQ(idsOf(manager.categories()).size(), 9);
    EXPECT_EQ(manager.indexOf(work), 8);
    EXPECT_EQ(recordsWithId(work.id()).first()->index(), 8);

    const auto text = manager.categoryWithId(QStringLiteral("1"));
    ASSERT_TRUE(text);
    EXPECT_EQ(countPosts(NotificationName::didRemovedCustomCategory, [&] { manager.deleteCategory(*text); }), 0);
    EXPECT_TRUE(manager.categoryWithId(QStringLiteral("1")));
    EXPECT_EQ(countPosts(NotificationName::didRemovedCustomCategory, [&] { manager.deleteCategory(work); }), 1);
    EXPECT_FALSE(manager.categoryWithId(work.id()));
    EXPECT_EQ(countPosts(NotificationName::didRemovedCustomCategory, [&] { manager.deleteCategory(work); }), 0);
}

TEST_F(CategoryManager, DeletingRemovesEveryRecordOfTheId)
{
    PBCategoryManager manager(context());
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 8, QStringLiteral("Work"));
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 9, QStringLiteral("Work (mirrored)"));
    manager.deleteCategory(*manager.categoryWithId(QStringLiteral("U1")));
    EXPECT_TRUE(recordsWithId(QStringLiteral("U1")).isEmpty());
    ASSERT_TRUE(context()->save());
    EXPECT_TRUE(recordsWithId(QStringLiteral("U1")).isEmpty());
}

TEST_F(CategoryManager, DuplicateIdsShowTheFirstByIndexOnly)
{
    PBCategoryManager manager(context());
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 9, QStringLiteral("Later"));
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 8, QStringLiteral("Earlier"));
    const QList<PBCategory> categories = manager.categories();
    EXPECT_EQ(filterCategories(categories, QStringLiteral("U1")).size(), 1);
    EXPECT_EQ(manager.categoryWithId(QStringLiteral("U1"))->name(), QStringLiteral("Earlier"));
    EXPECT_EQ(manager.fetchCategories().size(), 10);

    addRecord(QStringLiteral("U2"), QStringLiteral("custom"), 10, QStringLiteral("First stored"));
    addRecord(QStringLiteral("U2"), QStringLiteral("custom"), 10, QStringLiteral("Second stored"));
    ASSERT_TRUE(context()->save());
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(manager.categoryWithId(QStringLiteral("U2"))->name(), QStringLiteral("First stored"));
}

TEST_F(CategoryManager, ReorderingMovesEveryRecordOfAnId)
{
    PBCategoryManager manager(context());
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 8);
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 9);
    manager.categories();
    QList<PBCategory> order = manager.categories();
    order.move(order.size() - 1, 0); // U1 first
    manager.reorder(order);
    for (const auto &record : recordsWithId(QStringLiteral("U1")))
        EXPECT_EQ(record->index(), 0);
    EXPECT_EQ(idsOf(manager.categories()).first(), QStringLiteral("U1"));
    EXPECT_EQ(idsOf(manager.categories()).at(1), QStringLiteral("0"));
}

TEST_F(CategoryManager, UpdatingWritesTheStoredFieldsOfEveryRecordWithTheId)
{
    PBCategoryManager manager(context());
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 8);
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 9);
    manager.categories();
    PBCategory changed = userCategory(QStringLiteral("Renamed"), QStringLiteral("U1"));
    changed.setBackgroundColor(QColor(0xAB, 0x00, 0x01));
    changed.setHidden(true);
    changed.setLocked(true);
    manager.update(changed);
    for (const auto &record : recordsWithId(QStringLiteral("U1"))) {
        EXPECT_EQ(record->name(), QStringLiteral("Renamed"));
        EXPECT_EQ(record->bgColorHexStr(), QStringLiteral("#AB0001"));
        EXPECT_TRUE(record->isHidden());
        EXPECT_TRUE(record->isLock());
    }
    manager.update(userCategory(QStringLiteral("Nowhere"), QStringLiteral("U9")));
    EXPECT_FALSE(manager.categoryWithId(QStringLiteral("U9")));
}

TEST_F(CategoryManager, SavingUpdatesStoredCategoriesAndInsertsNewOnes)
{
    PBCategoryManager manager(context());
    PBCategory text = *manager.categoryWithId(QStringLiteral("1"));
    text.setName(QStringLiteral("Plain text"));
    const PBCategory fresh = userCategory(QStringLiteral("Fresh"));
    manager.save({text, fresh});
    EXPECT_EQ(recordsWithId(QStringLiteral("1")).size(), 1);
    EXPECT_EQ(manager.categoryWithId(QStringLiteral("1"))->name(), QStringLiteral("Plain text"));
    EXPECT_EQ(recordsWithId(fresh.id()).first()->index(), 1);
}

TEST_F(CategoryManager, RecordsThatMakeNoCategoryAreLeftOut)
{
    PBCategoryManager manager(context());
    addRecord(QStringLiteral("X1"), QStringLiteral("folder"), 8);
    addRecord(QString(), QStringLiteral("custom"), 9);
    EXPECT_EQ(manager.categories().size(), 8);
    EXPECT_FALSE(manager.categoryWithId(QStringLiteral("X1")));
}

TEST_F(CategoryManager, TheActiveCategoryFollowsTheStoredId)
{
    PBCategoryManager manager(context());
    EXPECT_FALSE(manager.activeCategory());
    const PBCategory link = *manager.categoryWithId(QStringLiteral("2"));
    EXPECT_EQ(countPosts(NotificationName::categoryActiveStatusChanged, [&] { manager.setActiveCategory(link); }), 1);
    EXPECT_EQ(manager.activeCategory()->id(), QStringLiteral("2"));
    EXPECT_EQ(countPosts(NotificationName::categoryActiveStatusChanged, [&] { manager.setActiveCategory(link); }), 1);
    EXPECT_EQ(
        countPosts(NotificationName::categoryActiveStatusChanged, [&] { manager.setActiveCategory(std::nullopt); }), 1);
    EXPECT_EQ(CloudKeyValueStore::shared().value(QStringLiteral("activeCategoryID")), QVariant(QString()));
    EXPECT_FALSE(manager.activeCategory());
    TaviSettings::shared().setActiveCategoryID(QStringLiteral("gone"));
    EXPECT_FALSE(manager.activeCategory());
}

TEST_F(CategoryManager, PositionsAndLookUps)
{
    PBCategoryManager manager(context());
    EXPECT_EQ(manager.numberOfCategories(), 8);
    EXPECT_FALSE(manager.categoryAt(-1));
    EXPECT_FALSE(manager.categoryAt(8));
    EXPECT_EQ(manager.categoryAt(7)->id(), QStringLiteral("7"));
    EXPECT_EQ(manager.indexOfId(QStringLiteral("5")), 5);
    EXPECT_FALSE(manager.indexOfId(QStringLiteral("U1")));
    EXPECT_EQ(manager.categoryWithName(localizedName(PBDefaultCategory::note))->id(), QStringLiteral("5"));
    EXPECT_FALSE(manager.categoryWithName(QStringLiteral("No such name")));
    const Records records = manager.storage().fetchedObjects().value_or(Records());
    EXPECT_EQ(filterCategoryRecords(records, *manager.categoryAt(4)).size(), 1);
}

TEST_F(CategoryManager, ACategoryIsRebuiltFromItsRecord)
{
    addRecord(QStringLiteral("U1"), QStringLiteral("custom"), 0, QStringLiteral("Work"));
    const auto record = recordsWithId(QStringLiteral("U1")).first();
    record->setIsHidden(true);
    const auto category = PBCategory::fromRecord(*record);
    ASSERT_TRUE(category);
    EXPECT_EQ(category->name(), QStringLiteral("Work"));
    EXPECT_EQ(category->type(), PBDefaultCategory::custom);
    EXPECT_EQ(hexString(category->backgroundColor()), QStringLiteral("#112233"));
    EXPECT_TRUE(category->isHidden());
    EXPECT_FALSE(category->isLocked());

    record->setType(QStringLiteral("Custom"));
    EXPECT_FALSE(PBCategory::fromRecord(*record));
    record->setType(QStringLiteral("text"));
    record->setBgColorHexStr(QStringLiteral("not a colour"));
    EXPECT_EQ(hexString(PBCategory::fromRecord(*record)->backgroundColor()),
              hexString(defaultBackgroundColor(PBDefaultCategory::text)));
}
