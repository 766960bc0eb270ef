#include "SyncTestSupport.h"

#include "core/sync/SyncBlobs.h"
#include "support/TestEnvironment.h"

#include <QFileInfo>

#include <future>

// Large values travel as blobs: written once, fetched on import, waited for when late or damaged,
// removed once nothing refers to them.
class SyncBlobTest : public TwoPeerSyncTest {
protected:
    QStringList blobsOf(SyncPeer &peer, const QString &folder) const
    {
        return QDir(folder + QStringLiteral("/devices/") + peer.device())
            .entryList({QStringLiteral("blob-*")}, QDir::Files);
    }
    std::shared_ptr<PBItemRecord> addLargeItem(const QByteArray &data, const QString &text = QStringLiteral("large"))
    {
        auto item = a->addItem(text);
        auto pasteboard = a->context()->insertNewObject<PBPasteboardDataRecord>();
        pasteboard->setType(QStringLiteral("public.png"));
        pasteboard->setData(data);
        item->addPasteboardsObject(pasteboard);
        return item;
    }
    static QByteArray pattern(qint64 size, char seed)
    {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qint64 i = 0; i < size; ++i)
            bytes[i] = char(seed + i * 7 + i / 4093);
        return bytes;
    }
};

TEST_F(SyncBlobTest, ALargeItemTravelsBesideItsSegmentConvergesAndEqualContentIsWrittenOnce)
{
    // The value never enters the segment, so no item is too large for one (the benchmark sends 40 MB).
    const QByteArray large = pattern(3 * 1024 * 1024, 'a');
    auto item = addLargeItem(large);
    auto twin = addLargeItem(large, QStringLiteral("same picture again"));
    // A long text travels as a blob too.
    auto text = a->addItem(QString(SyncBlobs::kThreshold, QLatin1Char('t')));
    text->setDataHash(QStringLiteral("short"));
    const SyncExporter::Result exported = a->exportChanges();
    ASSERT_FALSE(exported.failure) << exported.failure->message.toStdString();
    EXPECT_TRUE(exported.skipped.isEmpty());
    EXPECT_EQ(blobsOf(*a, folderA()).size(), 2);
    EXPECT_LT(
        QFileInfo(a->folder().deviceDirectory(a->device()) + QLatin1Char('/') + SyncFolder::segmentName(1)).size(),
        64 * 1024);

    Replicator(folderA(), folderB()).copyAll();
    const SyncImporter::Result imported = b->importChanges();
    EXPECT_TRUE(imported.partialErrors.isEmpty());
    ASSERT_TRUE(b->findItem(item->uuid()));
    ASSERT_EQ(b->findItem(item->uuid())->pasteboards().size(), 1);
    EXPECT_TRUE(b->findItem(item->uuid())->pasteboards().first()->data() == large);
    ASSERT_TRUE(b->findItem(twin->uuid()));
    ASSERT_TRUE(b->findItem(text->uuid()));
    EXPECT_EQ(b->findItem(text->uuid())->text(), text->text());
}

TEST_F(SyncBlobTest, ABlobThatArrivesAfterItsSegmentOrDamagedMakesTheItemWaitNeverCorrupt)
{
    const QByteArray large = pattern(SyncBlobs::kThreshold + 10, 'x');
    auto item = addLargeItem(large);
    auto small = a->addItem(QStringLiteral("small"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QString blob = blobsOf(*a, folderA()).first();
    Replicator replicator(folderA(), folderB());
    replicator.copy(a->device(), SyncFolder::segmentName(1));

    // The segment without its blob: the rest of it applies, the large item waits.
    b->importChanges();
    EXPECT_TRUE(b->findItem(small->uuid()));
    EXPECT_FALSE(b->findItem(item->uuid()));
    EXPECT_EQ(b->journal().cursor(a->device()), 1u);

    // A damaged copy is told, and still nothing half-made is stored.
    QFile source(folderA() + QStringLiteral("/devices/") + a->device() + QLatin1Char('/') + blob);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QByteArray damaged = source.readAll();
    damaged[damaged.size() / 2] = char(damaged[damaged.size() / 2] ^ 1);
    QFile target(folderB() + QStringLiteral("/devices/") + a->device() + QLatin1Char('/') + blob);
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write(damaged);
    target.close();
    const SyncImporter::Result report = b->importChanges();
    EXPECT_EQ(report.partialErrors.value(item->uuid().toString(QUuid::WithoutBraces)).toString(),
              QStringLiteral("damaged data"));
    EXPECT_FALSE(b->findItem(item->uuid()));

    replicator.copy(a->device(), blob);
    b->importChanges();
    ASSERT_TRUE(b->findItem(item->uuid()));
    EXPECT_TRUE(b->findItem(item->uuid())->pasteboards().first()->data() == large);
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncBlobTest, BlobsNoFileRefersToAnyMoreAreRemoved)
{
    auto gone = addLargeItem(pattern(SyncBlobs::kThreshold, 'g'));
    auto kept = addLargeItem(pattern(SyncBlobs::kThreshold, 'k'));
    ASSERT_FALSE(a->exportChanges().failure);
    ASSERT_EQ(blobsOf(*a, folderA()).size(), 2);
    a->context()->deleteObject(a->findItem(gone->uuid()));
    ASSERT_FALSE(a->exportChanges().failure);
    ASSERT_FALSE(a->snapshots().write().failure);
    a->now += SyncSnapshots::kGraceMs;
    a->snapshots().cleanUp();
    EXPECT_EQ(blobsOf(*a, folderA()).size(), 1);

    // A new device gets the kept item whole from the snapshot and its blob.
    Replicator(folderA(), folderB()).copyAll();
    b->importAll();
    ASSERT_TRUE(b->findItem(kept->uuid()));
    EXPECT_TRUE(b->findItem(kept->uuid())->pasteboards().first()->data() == pattern(SyncBlobs::kThreshold, 'k'));
    EXPECT_FALSE(b->findItem(gone->uuid()));
}

TEST_F(SyncBlobTest, APartialCopyOfItsOwnBlobIsWrittenAgainNotTakenForTheBlob)
{
    // A restore or a service left this device's blob cut short under its name.
    const QByteArray large = pattern(SyncBlobs::kThreshold, 'r');
    const SyncKey key = SyncPeer::keyFor(folderA());
    const QString name = SyncBlobs::fileName(key.contentHash(large));
    QDir().mkpath(a->folder().deviceDirectory(a->device()));
    QFile partial(a->folder().deviceDirectory(a->device()) + QLatin1Char('/') + name);
    ASSERT_TRUE(partial.open(QIODevice::WriteOnly));
    partial.write(key.seal(large, SyncFolder::associatedData(a->device(), name)).left(1000));
    partial.close();

    auto item = addLargeItem(large);
    ASSERT_FALSE(a->exportChanges().failure);
    Replicator(folderA(), folderB()).copyAll();
    const SyncImporter::Result imported = b->importChanges();
    EXPECT_TRUE(imported.partialErrors.isEmpty());
    ASSERT_TRUE(b->findItem(item->uuid()));
    EXPECT_TRUE(b->findItem(item->uuid())->pasteboards().first()->data() == large);
}

TEST_F(SyncBlobTest, ALargeItemGoesOutWhileAnotherConnectionWritesToTheStore)
{
    auto item = addLargeItem(pattern(SyncBlobs::kThreshold, 'w'));
    ASSERT_TRUE(a->context()->save());
    const QString blobs = a->folder().deviceDirectory(a->device());
    const SyncKey key = SyncPeer::keyFor(folderA());
    // Another writer (the search index, a capture) holds the store while the export reads the
    // item and writes its blob.
    SQLite::Database other(a->stack->storePath().toStdString(), SQLite::OPEN_READWRITE, 5000);
    other.exec("BEGIN IMMEDIATE");
    auto exporting =
        std::async(std::launch::async, [&] { return SyncExporter(a->journal(), a->folder(), key).exportChanges(); });
    EXPECT_TRUE(
        waitUntil([&] { return !QDir(blobs).entryList({QStringLiteral("blob-*")}, QDir::Files).isEmpty(); }, 10000));
    other.exec("COMMIT");
    const SyncExporter::Result exported = exporting.get();
    ASSERT_FALSE(exported.failure) << exported.failure->message.toStdString();
    EXPECT_EQ(exported.records, 1);
    Replicator(folderA(), folderB()).copyAll();
    b->importChanges();
    EXPECT_TRUE(b->findItem(item->uuid()));
}
