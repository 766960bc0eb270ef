#include "SyncTestSupport.h"

#include "core/sync/SyncBlobs.h"

// Compaction: a device's snapshot stands in for the segments it replaced, for new devices, for
// peers that were away, and while a replicator delivers it late, half or replaced.
class SyncSnapshotTest : public TwoPeerSyncTest {
protected:
    QStringList filesOf(SyncPeer &peer, const QString &prefix) const
    {
        return QDir(peer.folder().deviceDirectory(peer.device())).entryList({prefix + QLatin1Char('*')}, QDir::Files);
    }
    // A history with every kind of change, over several segments.
    void makeHistory()
    {
        auto work = a->addCategory(QStringLiteral("work"), 2);
        for (int i = 0; i < 6; ++i) {
            auto item = a->addItem(QStringLiteral("item %1").arg(i));
            if (i % 2)
                item->addCategoriesObject(work);
            items << item->uuid();
            ASSERT_FALSE(a->exportChanges().failure);
        }
        a->findItem(items[0])->setText(QStringLiteral("edited"));
        a->findItem(items[1])->setIs_sticky(true);
        a->findItem(items[3])->removeCategoriesObject(a->findCategory(QStringLiteral("work")));
        a->context()->deleteObject(a->findItem(items[2]));
        ASSERT_FALSE(a->exportChanges().failure);
    }
    // Writes a snapshot and lets its grace period pass.
    void compact()
    {
        SyncSnapshots snapshots = a->snapshots();
        const SyncSnapshots::Result written = snapshots.write();
        ASSERT_FALSE(written.failure);
        ASSERT_GT(written.number, 0u);
        EXPECT_EQ(snapshots.cleanUp(), 0) << "replaced files stay for the grace period";
        a->now += SyncSnapshots::kGraceMs;
        EXPECT_GT(a->snapshots().cleanUp(), 0);
    }

    QList<QUuid> items;
};

TEST_F(SyncSnapshotTest, ANewDeviceStartsFromTheSnapshotOnceTheSegmentsAreGone)
{
    makeHistory();
    compact();
    EXPECT_TRUE(filesOf(*a, QStringLiteral("seg-")).isEmpty());
    EXPECT_EQ(filesOf(*a, QStringLiteral("snap-")).size(), 1);
    // A later change goes out as a segment after the snapshot.
    a->findItem(items[4])->setComment(QStringLiteral("after"));
    ASSERT_FALSE(a->exportChanges().failure);

    Replicator(folderA(), folderB()).copyAll();
    b->importAll();
    EXPECT_EQ(b->state(), a->state());
    EXPECT_FALSE(b->findItem(items[2]));
}

TEST_F(SyncSnapshotTest, APeerAwayAcrossACompactionCatchesUpWithoutLosingItsOwnItems)
{
    auto early = a->addItem(QStringLiteral("early"));
    ASSERT_FALSE(a->exportChanges().failure);
    Replicator(folderA(), folderB()).copyAll();
    b->importAll();
    auto mine = b->addItem(QStringLiteral("b's own"));
    ASSERT_TRUE(b->context()->save());

    // While b is away, a deletes what b has, edits and adds, then compacts.
    a->context()->deleteObject(a->findItem(early->uuid()));
    makeHistory();
    compact();
    // The replicator delivers the removals too: b's copy of a's folder loses the old segments.
    QDir(folderB() + QStringLiteral("/devices/") + a->device()).removeRecursively();
    Replicator(folderA(), folderB()).copyAll();
    b->importAll();
    EXPECT_FALSE(b->findItem(early->uuid()));
    EXPECT_TRUE(b->findItem(mine->uuid()));
    ASSERT_FALSE(b->exportChanges().failure);
    Replicator(folderB(), folderA()).copyAll();
    a->importAll();
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncSnapshotTest, ASnapshotLateHalfCopiedOrReplacedMidReadIsWaitedForNeverSkipped)
{
    makeHistory();
    for (int i = 0; i < 10; ++i)
        items << a->addItem(QStringLiteral("more %1").arg(i))->uuid();
    ASSERT_FALSE(a->exportChanges().failure);
    compact();
    const QString device = a->device();
    Replicator replicator(folderA(), folderB());
    const QString manifest = SyncFolder::snapshotName(a->folder().snapshots(device).last());
    const QString part = filesOf(*a, QStringLiteral("part-")).first();

    // The manifest arrives before its part, then the part half copied.
    replicator.copy(device, manifest);
    b->importAll();
    EXPECT_TRUE(b->state().filter(QStringLiteral("item")).isEmpty());
    replicator.copy(device, part, 100);
    for (int round = 0; round < 5; ++round) {
        b->importAll();
        b->now += SyncImporter::kGiveUpMs;
    }
    EXPECT_EQ(b->journal().cursor(device), 0u);

    // Read halfway (a round's budget ends inside it), then replaced by a newer snapshot.
    replicator.copy(device, part);
    b->importChanges(5);
    EXPECT_EQ(b->journal().cursor(device), 0u);
    a->findItem(items[5])->setText(QStringLiteral("newer"));
    ASSERT_FALSE(a->exportChanges().failure);
    compact();
    QDir(folderB() + QStringLiteral("/devices/") + device).removeRecursively();
    replicator.copyAll();
    b->importAll();
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncSnapshotTest, TheFolderStaysBoundedHoweverLongItRuns)
{
    for (int i = 0; i < 20; ++i)
        items << a->addItem(QStringLiteral("item %1").arg(i))->uuid();
    ASSERT_FALSE(a->exportChanges().failure);
    qint64 largest = 0;
    for (int round = 0; round < 3 * SyncSnapshots::kSegmentsPerSnapshot; ++round) {
        a->findItem(items[round % items.size()])->setComment(QStringLiteral("round %1").arg(round));
        ASSERT_FALSE(a->exportChanges().failure);
        a->now += 60 * 1000;
        ASSERT_FALSE(a->snapshots().compact().failure);
        largest = std::max<qint64>(largest, filesOf(*a, QString()).size());
    }
    EXPECT_LE(largest, SyncSnapshots::kSegmentsPerSnapshot + 30); // without compaction: 3x as many
    EXPECT_GE(a->folder().snapshots(a->device()).size(), 1);
    Replicator(folderA(), folderB()).copyAll();
    b->importAll();
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncSnapshotTest, AFileThisDeviceDidNotWriteIsNotCountedTowardsASnapshot)
{
    items << a->addItem(QStringLiteral("first"))->uuid();
    ASSERT_FALSE(a->exportChanges().failure);
    ASSERT_GT(a->snapshots().write().number, 0u);
    // A large file under a later segment's name that this device never wrote.
    const quint64 last = a->folder().segments(a->device()).last();
    QFile foreign(a->folder().deviceDirectory(a->device()) + QLatin1Char('/') + SyncFolder::segmentName(last + 50));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    ASSERT_EQ(foreign.write(QByteArray(5 * 1024 * 1024, 'f')), 5 * 1024 * 1024);
    foreign.close();

    LogCounter lines("SyncSnapshots");
    SyncSnapshots snapshots = a->snapshots();
    for (int i = 0; i < 3; ++i) {
        a->findItem(items.first())->setComment(QStringLiteral("edit %1").arg(i));
        ASSERT_FALSE(a->exportChanges().failure);
        EXPECT_FALSE(snapshots.isDue());
        const SyncSnapshots::Result compacted = snapshots.compact();
        EXPECT_FALSE(compacted.failure);
        EXPECT_EQ(compacted.number, 0u) << "a snapshot was written for a file this device did not write";
    }
    EXPECT_EQ(lines.count(), 1) << "the foreign file is told once";
    EXPECT_TRUE(foreign.exists());
}
