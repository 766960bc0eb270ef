#include "SyncTestSupport.h"

#include "core/sync/SyncBlobs.h"

// Two homes that change their histories while a file-sync service between their folders delivers
// half-way, late and out of order, under temporary names, drops copies and delivers them again:
// once the service catches up, both show the same history. Each seed is one replayable run; the
// clocks move by the test, never by waiting.
class SyncConvergenceTest : public TwoPeerSyncTest, public ::testing::WithParamInterface<quint32> {
protected:
    // A random change on one side: new items (now and then a large one), edits, pins, deletions,
    // categories and links.
    void change(SyncPeer &peer, QRandomGenerator &random)
    {
        QList<std::shared_ptr<PBItemRecord>> items =
            peer.context()->fetch(PBItemRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBItemRecord>>());
        const int roll = int(random.bounded(10));
        if (items.isEmpty() || roll < 3) {
            auto item = peer.addItem(QStringLiteral("item %1").arg(++m_made));
            if (random.bounded(8) == 0) {
                auto pasteboard = peer.context()->insertNewObject<PBPasteboardDataRecord>();
                pasteboard->setType(QStringLiteral("public.png"));
                pasteboard->setData(QByteArray(SyncBlobs::kThreshold, char('a' + m_made % 26)));
                item->addPasteboardsObject(pasteboard);
            }
            return;
        }
        const auto item = items.at(int(random.bounded(int(items.size()))));
        if (roll < 5) {
            item->setText(QStringLiteral("edited %1").arg(++m_made));
        } else if (roll < 6) {
            item->setIs_sticky(!item->is_sticky());
        } else if (roll < 7) {
            item->setComment(QStringLiteral("note %1").arg(++m_made));
        } else if (roll < 8) {
            peer.context()->deleteObject(item);
        } else {
            const QString id = QStringLiteral("category %1").arg(random.bounded(3));
            auto category = peer.findCategory(id);
            if (!category) {
                peer.addCategory(id, random.bounded(5));
                return;
            }
            if (item->categories().contains(category))
                item->removeCategoriesObject(category);
            else
                item->addCategoriesObject(category);
        }
    }
    // Now and then a snapshot, and the clean-up of what an earlier one replaced.
    void compact(SyncPeer &peer, QRandomGenerator &random)
    {
        SyncSnapshots snapshots = peer.snapshots();
        if (random.bounded(6) == 0) {
            EXPECT_FALSE(snapshots.write().failure);
        }
        snapshots.cleanUp();
    }
    bool nothingLeft(SyncPeer &peer, SyncPeer &other)
    {
        const QString device = other.device();
        return peer.journal().meta(QStringLiteral("skipped:") + device).value_or(QString()).isEmpty()
               && peer.journal().database().execAndGet("SELECT count(*) FROM \"SyncWaiting\"").getInt() == 0
               && peer.journal().cursor(device) >= other.journal()
                                                       .meta(QStringLiteral("lastSegment"))
                                                       .value_or(QStringLiteral("0"))
                                                       .toULongLong();
    }

    int m_made = 0;
};

TEST_P(SyncConvergenceTest, TwoHomesConvergeThroughAnUnreliableService)
{
    QRandomGenerator random(GetParam());
    const Replicator toB(folderA(), folderB());
    const Replicator toA(folderB(), folderA());
    int faults = 0;
    for (int step = 0; step < 80; ++step) {
        SyncPeer &peer = random.bounded(2) ? *a : *b;
        change(peer, random);
        ASSERT_TRUE(peer.context()->save());
        if (random.bounded(3) > 0) {
            const SyncExporter::Result exported = peer.exportChanges();
            ASSERT_FALSE(exported.failure) << exported.failure->message.toStdString();
        }
        compact(peer, random);
        if (random.bounded(3) > 0)
            faults += toB.deliverSome(a->device(), random);
        if (random.bounded(3) > 0)
            faults += toA.deliverSome(b->device(), random);
        // Between one and six minutes pass for both, so some copies stay broken past the give-up time.
        const qint64 passed = 60 * 1000 * (1 + qint64(random.bounded(6)));
        a->now += passed;
        b->now += passed;
        if (random.bounded(2))
            a->importAll();
        if (random.bounded(2))
            b->importAll();
    }
    EXPECT_GT(faults, 20);

    // The service catches up; both export what they still have and read what arrived.
    for (int round = 0; round < 5; ++round) {
        ASSERT_FALSE(a->exportChanges().failure);
        ASSERT_FALSE(b->exportChanges().failure);
        toB.settle(a->device());
        toA.settle(b->device());
        a->importAll();
        b->importAll();
        if (a->state() == b->state() && nothingLeft(*a, *b) && nothingLeft(*b, *a))
            break;
    }
    EXPECT_EQ(a->state(), b->state());
    EXPECT_TRUE(nothingLeft(*a, *b));
    EXPECT_TRUE(nothingLeft(*b, *a));
    EXPECT_FALSE(a->state().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Seeds, SyncConvergenceTest, ::testing::Values(1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u));
