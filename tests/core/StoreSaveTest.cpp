#include "StoreTestSupport.h"

#include "core/store/CoreDataManager.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <sqlite3.h>

#include <future>
#include <limits>

namespace {
const char *kFailInserts = "CREATE TRIGGER fail_inserts BEFORE INSERT ON PBPasteboardDataRecord BEGIN SELECT "
                           "RAISE(ABORT, 'disk is full'); END";
}

TEST_F(StoreTest, AFailedSaveWritesNothingAndKeepsEveryChange)
{
    auto kept = item(QStringLiteral("kept"), 1);
    auto gone = item(QStringLiteral("gone"), 2);
    ASSERT_TRUE(context()->save());
    rawDatabase().exec(kFailInserts);

    auto fresh = item(QStringLiteral("fresh"), 3);
    fresh->addPasteboardsObject(pasteboard(QStringLiteral("public.utf8-plain-text"), "fresh"));
    kept->setComment(QStringLiteral("edited"));
    context()->deleteObject(gone);
    StoreError error;
    EXPECT_FALSE(context()->save(&error));
    EXPECT_TRUE(error.description.contains(QStringLiteral("disk is full")));
    EXPECT_TRUE(context()->hasChanges());
    EXPECT_EQ(fresh->objectID(), 0);
    EXPECT_EQ(rowCount("PBItemRecord"), 2);
    EXPECT_EQ(rawDatabase().execAndGet("SELECT count(*) FROM PBItemRecord WHERE comment IS NOT NULL").getInt(), 0);
    // Still visible to fetches as before the attempt.
    EXPECT_EQ(fetchTexts(std::nullopt, {{QStringLiteral("modifiedAt"), true}}), (QStringList{"kept", "fresh"}));

    rawDatabase().exec("DROP TRIGGER fail_inserts");
    ASSERT_TRUE(context()->save());
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_EQ(rowCount("PBItemRecord"), 2);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 1);
    reopen();
    EXPECT_EQ(fetchTexts(std::nullopt, {{QStringLiteral("modifiedAt"), true}}), (QStringList{"kept", "fresh"}));
}

TEST_F(StoreTest, AFailedSaveNamesItsKind)
{
    item(QStringLiteral("first"), 1);
    ASSERT_TRUE(context()->save());
    SQLite::Database &database = context()->store()->database();
    database.exec("PRAGMA query_only = 1");
    item(QStringLiteral("refused while read-only"), 2);
    StoreError error;
    EXPECT_FALSE(context()->save(&error));
    EXPECT_EQ(error.kind(), StoreError::Kind::readOnly) << error.text().toStdString();
    database.exec("PRAGMA query_only = 0");

    rawDatabase().exec("CREATE TRIGGER refuse BEFORE INSERT ON PBItemRecord BEGIN SELECT RAISE(ABORT, 'refused'); END");
    EXPECT_FALSE(context()->save(&error));
    EXPECT_EQ(error.kind(), StoreError::Kind::other) << error.text().toStdString();
    rawDatabase().exec("DROP TRIGGER refuse");
    EXPECT_TRUE(context()->save());

    // An extended result code is of the kind of its primary code; an error without a code is of none.
    const auto kindOf = [](int code) { return StoreError{QString(), {{QStringLiteral("code"), code}}, {}}.kind(); };
    EXPECT_EQ(kindOf(SQLITE_IOERR_WRITE), StoreError::Kind::ioError);
    EXPECT_EQ(kindOf(SQLITE_READONLY_DBMOVED), StoreError::Kind::readOnly);
    EXPECT_EQ(kindOf(SQLITE_CORRUPT_VTAB), StoreError::Kind::ioError);
    EXPECT_EQ(kindOf(SQLITE_FULL), StoreError::Kind::diskFull);
    EXPECT_EQ(StoreError{}.kind(), StoreError::Kind::other);
}

TEST_F(StoreTest, SaveContextReportsAFailureAndGoesOn)
{
    item(QStringLiteral("a"))->addPasteboardsObject(pasteboard(QStringLiteral("t"), "d"));
    rawDatabase().exec(kFailInserts);
    QStringList errors;
    Log::setObserver([&](LogLevel level, const QString &message, const char *, const char *, int) {
        if (level == LogLevel::Error)
            errors.append(message);
    });
    testing::internal::CaptureStdout();
    context()->saveContext();
    // Reported in the log; standard output is kept for what a user asked for.
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().startsWith(QStringLiteral("Unresolved error "))) << errors.first().toStdString();
    EXPECT_TRUE(context()->hasChanges());

    // Without changes nothing is attempted, so nothing is reported.
    rawDatabase().exec("DROP TRIGGER fail_inserts");
    context()->saveContext();
    errors.clear();
    context()->saveContext();
    Log::setObserver({});
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(StoreTest, DeletingAnItemTakesItsRepresentationsAndLinksButNotItsCategories)
{
    auto group = category(QStringLiteral("g"));
    auto record = item(QStringLiteral("a"));
    auto representation = pasteboard(QStringLiteral("public.png"), "png");
    record->addPasteboardsObject(representation);
    record->addCategoriesObject(group);
    ASSERT_TRUE(context()->save());

    context()->deleteObject(record);
    EXPECT_TRUE(representation->isDeleted());
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBItemRecord"), 0);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 0);
    EXPECT_EQ(rowCount("PBItemRecord_categories"), 0);
    EXPECT_EQ(rowCount("PBCategoryRecord"), 1);
}

TEST_F(StoreTest, DeletingACategoryUnfilesItsItems)
{
    auto group = category(QStringLiteral("g"));
    auto other = category(QStringLiteral("h"));
    auto record = item(QStringLiteral("a"));
    record->addCategories({group, other});
    ASSERT_TRUE(context()->save());
    ASSERT_EQ(record->categories().size(), 2);
    context()->deleteObject(group);
    EXPECT_EQ(record->categories(), QList<std::shared_ptr<PBCategoryRecord>>{other});
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBItemRecord_categories"), 1);
    EXPECT_EQ(rowCount("PBItemRecord"), 1);
}

TEST_F(StoreTest, AnInsertedThenDeletedRecordNeverReachesTheStore)
{
    auto record = item(QStringLiteral("a"));
    record->addPasteboardsObject(pasteboard(QStringLiteral("t"), "d"));
    context()->deleteObject(record);
    EXPECT_FALSE(context()->hasChanges());
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBItemRecord"), 0);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 0);
}

TEST_F(StoreTest, ABatchDeleteActsOnTheStoreAndLeavesLoadedRecordsUntilMerged)
{
    CoreDataManager<PBItemRecord> storage(context());
    auto group = category(QStringLiteral("g"));
    auto old = item(QStringLiteral("old"), 1);
    old->addCategoriesObject(group);
    auto representation = pasteboard(QStringLiteral("t"), "d");
    old->addPasteboardsObject(representation);
    auto keep = item(QStringLiteral("keep"), 5);
    ASSERT_TRUE(context()->save());
    auto pending = item(QStringLiteral("old too"), 1);
    const int registered = context()->registeredObjectCount();

    storage.batchDelete(Predicate::compare(QStringLiteral("modifiedAt"), Predicate::Comparison::Less, at(3)));
    EXPECT_EQ(rowCount("PBItemRecord"), 1);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 0);
    EXPECT_EQ(rowCount("PBItemRecord_categories"), 0);
    EXPECT_TRUE(pending->isDeleted()); // the matching pending insert is dropped
    EXPECT_TRUE(old->isDeleted());
    EXPECT_EQ(old->managedObjectContext(), context().get());
    EXPECT_EQ(context()->registeredObjectCount(), registered - 1);
    EXPECT_EQ(fetchTexts(std::nullopt), QStringList{"keep"});

    // Changes to a record whose row is gone neither fail a save nor bring the row back.
    old->setComment(QStringLiteral("late edit"));
    representation->setData("late");
    keep->setComment(QStringLiteral("edited"));
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBItemRecord"), 1);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 0);

    storage.mergeDeletedObjects({old});
    EXPECT_EQ(old->managedObjectContext(), nullptr);
    EXPECT_EQ(representation->managedObjectContext(), nullptr);
}

TEST_F(StoreTest, ABatchDeleteJudgesUnsavedEditsAsAFetchDoes)
{
    CoreDataManager<PBItemRecord> storage(context());
    auto stays = item(QStringLiteral("moved out of the range"), 1);
    auto goes = item(QStringLiteral("moved into the range"), 9);
    auto old = item(QStringLiteral("old"), 2);
    ASSERT_TRUE(context()->save());
    stays->setModifiedAt(at(8));
    goes->setModifiedAt(at(1));
    const auto before = Predicate::compare(QStringLiteral("modifiedAt"), Predicate::Comparison::Less, at(3));
    const QStringList fetched = fetchTexts(before);

    ASSERT_TRUE(storage.batchDelete(before));
    EXPECT_EQ(fetched.size(), 2);
    EXPECT_TRUE(goes->isDeleted());
    EXPECT_TRUE(old->isDeleted());
    EXPECT_FALSE(stays->isDeleted());
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(fetchTexts(std::nullopt), QStringList{"moved out of the range"});
}

TEST_F(StoreTest, ABatchDeleteOfMostOfALargeTableLeavesTheRestWholeAndIndexed)
{
    auto group = category(QStringLiteral("g"));
    constexpr int kItems = 12000, kKept = 1000;
    for (int i = 0; i < kItems; ++i) {
        auto record = item(QStringLiteral("item %1").arg(i), i);
        record->addCategoriesObject(group);
        record->addPasteboardsObject(pasteboard(QStringLiteral("t"), QByteArray::number(i)));
    }
    ASSERT_TRUE(context()->save());
    auto indexes = [this] {
        return rawDatabase()
            .execAndGet("SELECT group_concat(sql, ';') FROM (SELECT sql FROM sqlite_master WHERE type = 'index' "
                        "AND tbl_name IN ('PBItemRecord', 'PBItemRecord_categories') ORDER BY name)")
            .getString();
    };
    const std::string indexesBefore = indexes();
    ASSERT_NE(indexesBefore.find("PBItemRecord_categories_category"), std::string::npos);

    CoreDataManager<PBItemRecord> storage(context());
    ASSERT_TRUE(storage.batchDelete(
        Predicate::compare(QStringLiteral("modifiedAt"), Predicate::Comparison::Less, at(kItems - kKept))));
    EXPECT_EQ(rowCount("PBItemRecord"), kKept);
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), kKept);
    EXPECT_EQ(rowCount("PBItemRecord_categories"), kKept);
    EXPECT_EQ(indexes(), indexesBefore);
    EXPECT_EQ(rawDatabase().execAndGet("PRAGMA integrity_check").getString(), "ok");
    EXPECT_EQ(rawDatabase()
                  .execAndGet("SELECT count(*) FROM PBPasteboardDataRecord p JOIN PBItemRecord i ON p.item = i.pk "
                              "WHERE i.text = 'item ' || CAST(p.data AS TEXT)")
                  .getInt(),
              kKept);
}

TEST_F(StoreTest, NewRepresentationsOfABatchDeletedItemAreDroppedWithIt)
{
    auto record = item(QStringLiteral("a"));
    ASSERT_TRUE(context()->save());
    auto late = pasteboard(QStringLiteral("t"), "d");
    record->addPasteboardsObject(late);
    auto request = PBItemRecord::fetchRequest();
    ASSERT_TRUE(context()->executeBatchDelete(PBItemRecord::entityDescription(), std::nullopt));
    EXPECT_TRUE(late->isDeleted());
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(rowCount("PBPasteboardDataRecord"), 0);
}

TEST_F(StoreTest, ALargeSaveCopiesItsLogIntoTheStoreWithoutHoldingTheContext)
{
    // Over the checkpoint's threshold, and long enough to be encoded before the save locks.
    const QString large = QStringLiteral("a long copied line of text, ").repeated(100000);
    bool copied = false;
    bool contextFree = false;
    // The save's own copy, not the one its commit starts in the background.
    context()->store()->setLogCopyLimitsForTesting(std::numeric_limits<int>::max(), std::numeric_limits<int>::max());
    PersistentStore::setLogCopiedHookForTesting([&] {
        copied = true;
        // Another thread, as the GUI thread reading a list would be.
        contextFree = std::async(std::launch::async, [&] {
                          if (!context()->mutex().try_lock())
                              return false;
                          context()->mutex().unlock();
                          return true;
                      }).get();
    });
    auto record = item(large, 1);
    const bool saved = context()->save();
    PersistentStore::setLogCopiedHookForTesting(nullptr);
    ASSERT_TRUE(saved);
    EXPECT_TRUE(copied);
    EXPECT_TRUE(contextFree);
    EXPECT_LT(QFileInfo(storePath() + QStringLiteral("-wal")).size(), 1024 * 1024);

    // Edited as large again: the update's text is written whole too.
    record->setText(large + QStringLiteral("edited"));
    ASSERT_TRUE(context()->save());
    reopen();
    EXPECT_EQ(fetchTexts(std::nullopt, {}), QStringList{large + QStringLiteral("edited")});
}
