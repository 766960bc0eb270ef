#include "SyncTestSupport.h"

#include "core/store/PBPasteboardDataRecord.h"
#include "core/store/SearchIndex.h"
#include "core/sync/SyncSegment.h"

#include <QJsonArray>

// Two stores, each with its own folder; the replicator carries files between the folders.
class SyncMergeTest : public TwoPeerSyncTest {
protected:
    void exchange()
    {
        ASSERT_FALSE(a->exportChanges().failure);
        ASSERT_FALSE(b->exportChanges().failure);
        Replicator(folderA(), folderB()).copyAll();
        Replicator(folderB(), folderA()).copyAll();
        a->importChanges();
        b->importChanges();
        // What an import changed goes nowhere, but local changes made since travel.
        ASSERT_FALSE(a->exportChanges().failure);
        ASSERT_FALSE(b->exportChanges().failure);
    }
};

TEST_F(SyncMergeTest, TwoStoresConvergeAfterEveryKindOfChange)
{
    auto work = a->addCategory(QStringLiteral("work"), 3);
    auto first = a->addItem(QStringLiteral("first"));
    auto second = a->addItem(QStringLiteral("second"));
    first->addCategoriesObject(work);
    auto pasteboard = a->context()->insertNewObject<PBPasteboardDataRecord>();
    pasteboard->setType(QStringLiteral("public.utf8-plain-text"));
    pasteboard->setData(QByteArray("first\0bytes", 11));
    first->addPasteboardsObject(pasteboard);
    auto fromB = b->addItem(QStringLiteral("from b"));
    exchange();
    EXPECT_EQ(a->state(), b->state());
    ASSERT_TRUE(b->findItem(first->uuid()));
    EXPECT_EQ(b->findItem(first->uuid())->pasteboards().size(), 1);

    // Pins, comments, edits, reorders and category moves on both sides.
    b->findItem(first->uuid())->setIs_sticky(true);
    a->findItem(second->uuid())->setComment(QStringLiteral("a note"));
    a->findCategory(QStringLiteral("work"))->setIndex(0);
    b->findItem(fromB->uuid())->addCategoriesObject(b->findCategory(QStringLiteral("work")));
    a->findItem(first->uuid())->removeCategoriesObject(a->findCategory(QStringLiteral("work")));
    exchange();
    EXPECT_EQ(a->state(), b->state());
    EXPECT_TRUE(a->findItem(first->uuid())->is_sticky());
    EXPECT_EQ(b->findItem(second->uuid())->comment(), QStringLiteral("a note"));
    EXPECT_TRUE(a->findItem(first->uuid())->categories().isEmpty());
    EXPECT_EQ(a->findItem(fromB->uuid())->categories().size(), 1);

    // A delete and a clear (batch delete, as the clear-all does) travel too.
    b->context()->deleteObject(b->findItem(second->uuid()));
    ASSERT_TRUE(a->context()->executeBatchDelete(PBItemRecord::entityDescription(),
                                                 Predicate::equal(QStringLiteral("uuid"), fromB->uuid())));
    exchange();
    EXPECT_EQ(a->state(), b->state());
    EXPECT_FALSE(a->findItem(second->uuid()));
    EXPECT_FALSE(b->findItem(fromB->uuid()));
    EXPECT_TRUE(b->findItem(first->uuid()));
}

TEST_F(SyncMergeTest, ConcurrentEditsOfOneItemKeepEachAttributesLatestWriter)
{
    auto item = a->addItem(QStringLiteral("shared"));
    exchange();
    a->findItem(item->uuid())->setIs_sticky(true);
    b->findItem(item->uuid())->setComment(QStringLiteral("from b"));
    b->findItem(item->uuid())->setText(QStringLiteral("edited on b"));
    exchange();
    EXPECT_EQ(a->state(), b->state());
    EXPECT_TRUE(b->findItem(item->uuid())->is_sticky());
    EXPECT_EQ(a->findItem(item->uuid())->comment(), QStringLiteral("from b"));
    EXPECT_EQ(a->findItem(item->uuid())->text(), QStringLiteral("edited on b"));

    // Both edit one attribute: the later stamp wins on both sides.
    a->findItem(item->uuid())->setText(QStringLiteral("a wrote first"));
    ASSERT_FALSE(a->exportChanges().failure);
    waitForTheClockToMove();
    b->findItem(item->uuid())->setText(QStringLiteral("b wrote last"));
    exchange();
    EXPECT_EQ(a->findItem(item->uuid())->text(), QStringLiteral("b wrote last"));
    EXPECT_EQ(a->state(), b->state());
}

TEST_F(SyncMergeTest, DeletionBeatsAnOlderEditWhicheverArrivesFirst)
{
    auto item = a->addItem(QStringLiteral("doomed"));
    exchange();
    a->findItem(item->uuid())->setComment(QStringLiteral("edited before the delete"));
    ASSERT_FALSE(a->exportChanges().failure);
    waitForTheClockToMove();
    b->context()->deleteObject(b->findItem(item->uuid()));
    ASSERT_FALSE(b->exportChanges().failure);
    // The deletion reaches A first, then B sees A's older edit.
    Replicator(folderB(), folderA()).copyAll();
    a->importChanges();
    Replicator(folderA(), folderB()).copyAll();
    b->importChanges();
    EXPECT_FALSE(a->findItem(item->uuid()));
    EXPECT_FALSE(b->findItem(item->uuid()));
    EXPECT_EQ(a->state(), b->state());
}

TEST_F(SyncMergeTest, AnEditThatArrivesBeforeItsItemWaitsForIt)
{
    // Three devices: C edits A's item; C's files reach B before A's.
    const QString folderC = m_root.path() + QStringLiteral("/c");
    QDir().mkpath(folderC);
    QFile::copy(folderA() + QLatin1Char('/') + SyncFolder::kMarkerName,
                folderC + QLatin1Char('/') + SyncFolder::kMarkerName);
    SyncPeer c(folderC);
    auto item = a->addItem(QStringLiteral("original"));
    auto work = a->addCategory(QStringLiteral("work"), 1);
    ASSERT_FALSE(a->exportChanges().failure);
    Replicator(folderA(), folderC).copyAll();
    c.importChanges();
    c.findItem(item->uuid())->setComment(QStringLiteral("from c"));
    c.findItem(item->uuid())->addCategoriesObject(c.findCategory(QStringLiteral("work")));
    ASSERT_FALSE(c.exportChanges().failure);

    Replicator(folderC, folderB()).copyAll(c.device());
    b->importChanges();
    EXPECT_FALSE(b->findItem(item->uuid()));
    Replicator(folderA(), folderB()).copyAll();
    b->importChanges();
    ASSERT_TRUE(b->findItem(item->uuid()));
    EXPECT_EQ(b->findItem(item->uuid())->comment(), QStringLiteral("from c"));
    EXPECT_EQ(b->findItem(item->uuid())->categories().size(), 1);
    EXPECT_EQ(b->findItem(item->uuid())->text(), QStringLiteral("original"));
    Q_UNUSED(work);
}

TEST_F(SyncMergeTest, ABurstOfCopiesGoesOutAsOneSegment)
{
    for (int i = 0; i < 1000; ++i)
        a->addItem(QStringLiteral("copy %1").arg(i));
    const SyncExporter::Result result = a->exportChanges();
    EXPECT_EQ(result.segments, 1);
    EXPECT_EQ(result.records, 1000);
    EXPECT_EQ(a->folder().segments(a->device()).size(), 1);
    // Nothing more to send afterwards.
    EXPECT_EQ(a->exportChanges().segments, 0);
}

TEST_F(SyncMergeTest, ALargeSaveSendsEachItemOnce)
{
    // Its items' inserts are logged before all their pasteboards, more than one segment apart.
    const int count = SyncExporter::kMaxRecords + 500;
    std::shared_ptr<PBItemRecord> first;
    for (int i = 0; i < count; ++i) {
        auto item = a->addItem(QStringLiteral("copy %1").arg(i));
        if (!first)
            first = item;
        auto pasteboard = a->context()->insertNewObject<PBPasteboardDataRecord>();
        pasteboard->setType(QStringLiteral("public.utf8-plain-text"));
        pasteboard->setData(QStringLiteral("copy %1").arg(i).toUtf8());
        item->addPasteboardsObject(pasteboard);
    }
    EXPECT_EQ(a->exportChanges().records, count);
    // A later edit still travels.
    first->setComment(QStringLiteral("edited"));
    EXPECT_EQ(a->exportChanges().records, 1);
    exchange();
    EXPECT_EQ(a->state(), b->state());
}

TEST_F(SyncMergeTest, ImportedChangesAreNotSentBack)
{
    a->addItem(QStringLiteral("one"));
    exchange();
    EXPECT_TRUE(b->folder().segments(b->device()).isEmpty());
}

TEST_F(SyncMergeTest, AClockKeptByAnEarlierVersionIsCarriedOver)
{
    auto item = a->addItem(QStringLiteral("stamped"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QJsonObject stamps = a->journal().stamps(QStringLiteral("item"), item->uuid().toString(QUuid::WithoutBraces));
    ASSERT_FALSE(stamps.isEmpty());
    // The earlier form of the clock: ordered by id, without a row id.
    a->journal().database().exec(
        "ALTER TABLE \"SyncClock\" RENAME TO \"Current\";"
        "CREATE TABLE \"SyncClock\" (\"kind\" TEXT NOT NULL, \"gid\" TEXT NOT NULL, \"stamps\" TEXT NOT NULL,"
        " PRIMARY KEY (\"kind\", \"gid\")) WITHOUT ROWID;"
        "INSERT INTO \"SyncClock\" SELECT \"kind\", \"gid\", \"stamps\" FROM \"Current\"; DROP TABLE \"Current\";");
    std::unique_ptr<SyncJournal> reopened = SyncJournal::open(a->stack->storePath());
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->stamps(QStringLiteral("item"), item->uuid().toString(QUuid::WithoutBraces)), stamps);
    reopened->setStamps(QStringLiteral("item"), item->uuid().toString(QUuid::WithoutBraces), QJsonObject{{"x", 1}});
    EXPECT_EQ(reopened->database().execAndGet("SELECT count(*) FROM \"SyncClock\"").getInt(), 1);
}

TEST_F(SyncMergeTest, AnImportedRecordKeepsTheStampsItWasSentWith)
{
    auto item = a->addItem(QStringLiteral("stamped"));
    auto pasteboard = a->context()->insertNewObject<PBPasteboardDataRecord>();
    pasteboard->setType(QStringLiteral("public.utf8-plain-text"));
    pasteboard->setData(QByteArray("stamped"));
    item->addPasteboardsObject(pasteboard);
    a->context()->save();
    exchange();
    const QString id = item->uuid().toString(QUuid::WithoutBraces);
    const QJsonObject sent = a->journal().stamps(QStringLiteral("item"), id);
    ASSERT_TRUE(sent.contains(QStringLiteral("_pb")));
    ASSERT_TRUE(sent.contains(SyncJournal::kInserted));
    EXPECT_EQ(b->journal().stamps(QStringLiteral("item"), id), sent);

    // A writer's name that is not a plain one is kept as it is.
    const QMap<QString, SyncStamp> odd{{QStringLiteral("text"), {7, QStringLiteral("a \"quoted\" device")}},
                                       {QStringLiteral("_put"), {9000000000000000, QStringLiteral("plain")}}};
    b->journal().setStamps(QStringLiteral("item"), QStringLiteral("odd"), QJsonObject(), odd);
    const QJsonObject kept = b->journal().stamps(QStringLiteral("item"), QStringLiteral("odd"));
    EXPECT_EQ(SyncJournal::stampOf(kept, QStringLiteral("text")).device, odd[QStringLiteral("text")].device);
    EXPECT_EQ(SyncJournal::stampOf(kept, QStringLiteral("_put")).time, 9000000000000000);
}

TEST_F(SyncMergeTest, ImportedItemsAreFoundThroughTheSearchIndex)
{
    b->addItem(QStringLiteral("local quarterly notes"));
    QList<std::shared_ptr<PBItemRecord>> items;
    for (int i = 0; i < 40; ++i)
        items << a->addItem(
            QStringLiteral("imported report %1%2").arg(i).arg(i % 7 == 0 ? QStringLiteral(" quarterly") : QString()));
    a->addItem(QString(SearchIndex::kIndexedBytes, QLatin1Char('z')) + QStringLiteral(" long report"));
    exchange();
    items[3]->setText(QStringLiteral("renamed memo"));
    a->context()->deleteObject(items[7]);
    exchange();

    SearchIndex &index = b->context()->store()->searchIndex();
    ASSERT_TRUE(index.waitUntilReady(10000));
    for (const QString &keyword : {QStringLiteral("report"), QStringLiteral("quarterly"), QStringLiteral("memo"),
                                   QStringLiteral("imported report 1")}) {
        FetchRequest<PBItemRecord> search = PBItemRecord::fetchRequest();
        search.predicate = Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, keyword);
        FetchRequest<PBItemRecord> scan = PBItemRecord::fetchRequest();
        scan.predicate = Predicate::contains(QStringLiteral("text"), keyword);
        EXPECT_EQ(b->context()->count(search).value_or(-1), b->context()->count(scan).value_or(-2))
            << keyword.toStdString();
    }
    FetchRequest<PBItemRecord> memo = PBItemRecord::fetchRequest();
    memo.predicate = Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, QStringLiteral("memo"));
    EXPECT_EQ(b->context()->count(memo).value_or(-1), 1);
    EXPECT_TRUE(index.isReady());
}

TEST_F(SyncMergeTest, ALocalChangeNotSentOutYetIsNotUndoneByAnImport)
{
    auto item = a->addItem(QStringLiteral("linked"));
    item->addCategoriesObject(a->addCategory(QStringLiteral("work"), 1));
    auto gone = b->addItem(QStringLiteral("deleted on a"));
    exchange();
    ASSERT_TRUE(a->findItem(gone->uuid()));

    // B unlinks; A unlinks and links again, and its change has not gone out when B's arrives.
    b->findItem(item->uuid())->removeCategoriesObject(b->findCategory(QStringLiteral("work")));
    ASSERT_FALSE(b->exportChanges().failure);
    a->findItem(item->uuid())->removeCategoriesObject(a->findCategory(QStringLiteral("work")));
    ASSERT_TRUE(a->context()->save());
    a->findItem(item->uuid())->addCategoriesObject(a->findCategory(QStringLiteral("work")));
    ASSERT_TRUE(a->context()->save());
    // B compacts its files; A deletes B's item, and catches up from B's snapshot before that goes out.
    ASSERT_GT(b->snapshots().write().number, 0u);
    b->now += SyncSnapshots::kGraceMs;
    EXPECT_GT(b->snapshots().cleanUp(), 0);
    a->context()->deleteObject(a->findItem(gone->uuid()));
    ASSERT_TRUE(a->context()->save());
    QDir(folderA() + QStringLiteral("/devices/") + b->device()).removeRecursively();
    Replicator(folderB(), folderA()).copyAll(b->device());
    a->importAll();
    EXPECT_EQ(a->findItem(item->uuid())->categories().size(), 1);
    EXPECT_FALSE(a->findItem(gone->uuid()));

    exchange();
    EXPECT_EQ(a->state(), b->state());
    EXPECT_EQ(b->findItem(item->uuid())->categories().size(), 1);
    EXPECT_FALSE(b->findItem(gone->uuid()));
}
