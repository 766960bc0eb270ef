#include "SyncTestSupport.h"

#include "core/sync/SyncSegment.h"

#include "core/sync/SyncBlobs.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QStorageInfo>

#include <chrono>
#include <cstdio>
#include <future>

#include <sys/stat.h>

// One folder shared by both stores, and what a replicator or an intruder may leave in it.
class SyncFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareFolder(folder());
        a = std::make_unique<SyncPeer>(folder());
        b = std::make_unique<SyncPeer>(folder());
    }
    void TearDown() override { ::chmod(QFile::encodeName(folder()).constData(), 0700); }
    QString folder() const { return m_root.path() + QStringLiteral("/shared"); }
    QString segmentPath(SyncPeer &peer, quint64 number) const
    {
        return peer.folder().deviceDirectory(peer.device()) + QLatin1Char('/') + SyncFolder::segmentName(number);
    }
    // Seals a file of A's with arbitrary content, as a device holding the key could: a segment
    // (with fields replaced or added by `changes`), or any other file.
    void writeSegment(quint64 number, const QJsonArray &records, int format = 1, const QJsonObject &changes = {})
    {
        QJsonObject content{
            {"format", format}, {"device", a->device()}, {"number", double(number)}, {"records", records}};
        for (auto it = changes.constBegin(); it != changes.constEnd(); ++it)
            content.insert(it.key(), it.value());
        writeSealed(SyncFolder::segmentName(number), content);
    }
    void writeSealed(const QString &name, const QJsonObject &content)
    {
        ASSERT_FALSE(
            a->folder().writeFile(a->device(), name, SyncSegment::seal(testKeyOf(), a->device(), name, content)));
    }
    SyncKey testKeyOf() const { return SyncPeer::keyFor(folder()); }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    static void overwrite(const QString &path, const QByteArray &bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    // Leaves A's segment cut short in its place, as an interrupted copy does; returns it whole.
    QByteArray cutShort(quint64 number) const
    {
        const QByteArray whole = contents(segmentPath(*a, number));
        overwrite(segmentPath(*a, number), whole.left(whole.size() / 2));
        return whole;
    }
    // One import round on a thread of its own: an importer that never returns ends the run with
    // a message, rather than hanging it.
    SyncImporter::Result importOrEnd(SyncPeer &peer)
    {
        auto round = std::async(std::launch::async, [&peer] { return peer.importer().importChanges(); });
        if (round.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
            std::fprintf(stderr, "%s: the importer has not returned in 60 s; it is wedged\n",
                         ::testing::UnitTest::GetInstance()->current_test_info()->name());
            std::fflush(stderr);
            std::_Exit(1);
        }
        SyncImporter::Result result = round.get();
        peer.stack->storeRemoteChange({result.changedRows, result.deletedRows});
        return result;
    }
    static mode_t modeOf(const QString &path)
    {
        struct stat info {};
        EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
        return info.st_mode & 07777;
    }

    QTemporaryDir m_root;
    std::unique_ptr<SyncPeer> a;
    std::unique_ptr<SyncPeer> b;
};

TEST_F(SyncFolderTest, LateAndOutOfOrderSegmentsAreAppliedInOrder)
{
    auto item = a->addItem(QStringLiteral("v1"));
    ASSERT_FALSE(a->exportChanges().failure);
    a->findItem(item->uuid())->setText(QStringLiteral("v2"));
    ASSERT_FALSE(a->exportChanges().failure);
    // Segment 1 is late: 2 alone must wait.
    QFile::rename(segmentPath(*a, 1), segmentPath(*a, 1) + QStringLiteral(".late"));
    b->importChanges();
    EXPECT_FALSE(b->findItem(item->uuid()));
    QFile::rename(segmentPath(*a, 1) + QStringLiteral(".late"), segmentPath(*a, 1));
    b->importChanges();
    ASSERT_TRUE(b->findItem(item->uuid()));
    EXPECT_EQ(b->findItem(item->uuid())->text(), QStringLiteral("v2"));
}

TEST_F(SyncFolderTest, HalfCopiedAndTemporaryFilesAreRetriedNotApplied)
{
    auto item = a->addItem(QStringLiteral("whole"));
    ASSERT_FALSE(a->exportChanges().failure);
    QFile file(segmentPath(*a, 1));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray whole = file.readAll();
    file.close();
    // An interrupted copy, then the service's temporary name beside it.
    QFile::remove(segmentPath(*a, 1));
    QFile half(segmentPath(*a, 1));
    ASSERT_TRUE(half.open(QIODevice::WriteOnly));
    half.write(whole.left(whole.size() / 2));
    half.close();
    QFile temporary(segmentPath(*a, 2) + QStringLiteral(".syncthing.tmp"));
    ASSERT_TRUE(temporary.open(QIODevice::WriteOnly));
    temporary.write(whole);
    temporary.close();
    for (int round = 0; round < 5; ++round) {
        b->importChanges();
        b->now += SyncImporter::kGiveUpMs;
    }
    EXPECT_FALSE(b->findItem(item->uuid()));
    EXPECT_EQ(b->journal().cursor(a->device()), 0u);
    // The copy completes (the file is replaced while the importer knows it as broken).
    ASSERT_TRUE(half.open(QIODevice::WriteOnly | QIODevice::Truncate));
    half.write(whole);
    half.close();
    b->importChanges();
    EXPECT_TRUE(b->findItem(item->uuid()));
}

TEST_F(SyncFolderTest, UntrustedContentIsRefusedWithoutHarm)
{
    auto kept = b->addItem(QStringLiteral("b keeps this"));
    ASSERT_TRUE(b->context()->save());
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    QJsonArray records;
    // Future-dated, wrong types, a path as id, an unknown kind, a deletion of b's own item dated long ago.
    records.append(QJsonObject{{"k", "item"},
                               {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
                               {"op", "put"},
                               {"t", now + 1e12},
                               {"a", QJsonObject{{"text", "future"}}}});
    records.append(QJsonObject{{"k", "item"},
                               {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
                               {"op", "put"},
                               {"t", now},
                               {"a", QJsonObject{{"is_sticky", "yes"}}}});
    records.append(QJsonObject{
        {"k", "category"}, {"id", "../../etc|x"}, {"op", "put"}, {"t", now}, {"a", QJsonObject{{"name", "evil"}}}});
    records.append(QJsonObject{{"k", "shell"}, {"id", "x"}, {"op", "put"}, {"t", now}});
    records.append(QJsonObject{{"k", "item"},
                               {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
                               {"op", "put"},
                               {"t", now},
                               {"a", QJsonObject{{"text", "fine"}}}});
    writeSegment(1, records);
    const SyncImporter::Result result = b->importChanges();
    EXPECT_EQ(result.partialErrors.size(), 4);
    EXPECT_EQ(b->state().filter(QStringLiteral("item")).size(), 2);
    EXPECT_TRUE(b->findItem(kept->uuid()));
    EXPECT_EQ(b->state().filter(QStringLiteral("text=fine")).size(), 1);
}

TEST_F(SyncFolderTest, ANullForAnAttributeWithADefaultIsStoredAsTheDefault)
{
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    const QString id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    writeSegment(1, {QJsonObject{{"k", "item"},
                                 {"id", id},
                                 {"op", "put"},
                                 {"t", now},
                                 {"a", QJsonObject{{"text", "kept"}, {"is_sticky", QJsonValue::Null}}}},
                     QJsonObject{{"k", "category"},
                                 {"id", "work"},
                                 {"op", "put"},
                                 {"t", now},
                                 {"a", QJsonObject{{"name", "Work"},
                                                   {"index", QJsonValue::Null},
                                                   {"isHidden", QJsonValue::Null},
                                                   {"isLock", QJsonValue::Null}}}}});
    EXPECT_TRUE(b->importChanges().partialErrors.isEmpty());
    const auto item = b->findItem(QUuid::fromString(id));
    ASSERT_TRUE(item);
    EXPECT_FALSE(item->is_sticky());
    const auto category = b->findCategory(QStringLiteral("work"));
    ASSERT_TRUE(category);
    EXPECT_EQ(category->index(), 0);
    EXPECT_FALSE(category->isHidden() || category->isLock());
}

TEST_F(SyncFolderTest, ANewerFormatWaitsAndForeignNamesAreIgnored)
{
    writeSegment(1, {}, 2);
    QDir().mkpath(folder() + QStringLiteral("/devices/not-a-device"));
    QDir().mkpath(folder() + QStringLiteral("/devices/..hidden"));
    b->importChanges();
    EXPECT_EQ(b->journal().cursor(a->device()), 0u);
}

TEST_F(SyncFolderTest, AWrongPassphraseIsToldNotTakenForAnEmptyFolder)
{
    const SyncFolder::Joined joined = SyncFolder(folder()).join(QStringLiteral("wrong horse"));
    EXPECT_FALSE(joined.key);
    ASSERT_TRUE(joined.failure);
    EXPECT_EQ(joined.failure->code, CloudErrorCode::NotAuthenticated);
    const SyncKey wrong(QByteArray(SyncKey::kSize, 'w'));
    EXPECT_NE(SyncFolder(folder()).status(&wrong).status, CloudAccountStatus::Available);
    const SyncKey right = testKeyOf();
    EXPECT_EQ(SyncFolder(folder()).status(&right).status, CloudAccountStatus::Available);
}

TEST_F(SyncFolderTest, AccountStatusFollowsTheFolder)
{
    EXPECT_EQ(SyncFolder(m_root.path() + QStringLiteral("/none")).status().status, CloudAccountStatus::NoAccount);
    QDir().mkpath(m_root.path() + QStringLiteral("/empty"));
    EXPECT_EQ(SyncFolder(m_root.path() + QStringLiteral("/empty")).status().status, CloudAccountStatus::NoAccount);
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into read-only folders";
    ::chmod(QFile::encodeName(folder()).constData(), 0500);
    EXPECT_EQ(SyncFolder(folder()).status().status, CloudAccountStatus::TemporarilyUnavailable);
}

TEST_F(SyncFolderTest, AReadOnlyFolderOrAFullBudgetKeepsChangesForLater)
{
    auto item = a->addItem(QStringLiteral("waits"));
    const SyncExporter::Result full = a->exportChanges(/*budget=*/16);
    ASSERT_TRUE(full.failure);
    EXPECT_EQ(full.failure->code, CloudErrorCode::QuotaExceeded);
    if (::geteuid() != 0) {
        ::chmod(QFile::encodeName(a->folder().deviceDirectory(a->device())).constData(), 0500);
        const SyncExporter::Result readOnly = a->exportChanges();
        ASSERT_TRUE(readOnly.failure);
        EXPECT_EQ(readOnly.failure->code, CloudErrorCode::NetworkFailure);
        ::chmod(QFile::encodeName(a->folder().deviceDirectory(a->device())).constData(), 0700);
    }
    // Nothing was lost: once there is room, the change goes out.
    EXPECT_EQ(a->exportChanges().records, 1);
    b->importChanges();
    EXPECT_TRUE(b->findItem(item->uuid()));
}

TEST_F(SyncFolderTest, AFolderThatVanishesIsReportedAsMissing)
{
    a->addItem(QStringLiteral("x"));
    ASSERT_FALSE(a->exportChanges().failure);
    ASSERT_TRUE(QDir(folder()).removeRecursively());
    const SyncImporter::Result imported = b->importChanges();
    ASSERT_TRUE(imported.failure);
    EXPECT_EQ(imported.failure->code, CloudErrorCode::NetworkUnavailable);
    a->addItem(QStringLiteral("y"));
    const SyncExporter::Result exported = a->exportChanges();
    ASSERT_TRUE(exported.failure);
    EXPECT_EQ(exported.failure->code, CloudErrorCode::NetworkUnavailable);
}

TEST_F(SyncFolderTest, EverythingMadeInTheFolderIsPrivateWhateverTheUmask)
{
    const mode_t umask = ::umask(022);
    const QString fresh = m_root.path() + QStringLiteral("/fresh");
    QDir().mkpath(fresh);
    const bool joined = bool(SyncFolder(fresh).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal()).key);
    {
        SyncPeer peer(fresh);
        peer.addItem(QStringLiteral("private"));
        EXPECT_FALSE(peer.exportChanges().failure);
    }
    ::umask(umask);
    ASSERT_TRUE(joined);
    EXPECT_EQ(modeOf(fresh + QLatin1Char('/') + SyncFolder::kMarkerName), 0600u);
    EXPECT_EQ(modeOf(fresh + QStringLiteral("/devices")), 0700u);
    int files = 0;
    for (const QFileInfo &device :
         QDir(fresh + QStringLiteral("/devices")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        EXPECT_EQ(modeOf(device.filePath()), 0700u);
        for (const QFileInfo &file : QDir(device.filePath()).entryInfoList(QDir::Files | QDir::Hidden)) {
            EXPECT_EQ(modeOf(file.filePath()), 0600u) << file.fileName().toStdString();
            ++files;
        }
    }
    EXPECT_GT(files, 0);

    // A folder an earlier version left open to others is closed with the next write.
    ::chmod(QFile::encodeName(folder() + QStringLiteral("/devices")).constData(), 0755);
    ::chmod(QFile::encodeName(a->folder().deviceDirectory(a->device())).constData(), 0755);
    a->addItem(QStringLiteral("later"));
    ASSERT_FALSE(a->exportChanges().failure);
    EXPECT_EQ(modeOf(folder() + QStringLiteral("/devices")), 0700u);
    EXPECT_EQ(modeOf(a->folder().deviceDirectory(a->device())), 0700u);
}

TEST_F(SyncFolderTest, AHalfCopiedSegmentHoldsBackTheLaterOnesUntilItIsWhole)
{
    auto first = a->addItem(QStringLiteral("first"));
    ASSERT_FALSE(a->exportChanges().failure);
    auto second = a->addItem(QStringLiteral("second"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QByteArray whole = cutShort(1);
    // Many more rounds than a few seconds of folder changes bring, and minutes on the clock, but
    // less than a service may take to finish the copy: the later segment waits.
    LogCounter lines("SyncImporter");
    for (int round = 0; round < 20; ++round) {
        b->importChanges();
        b->now += SyncImporter::kGiveUpMs / 40;
    }
    EXPECT_FALSE(b->findItem(second->uuid())) << "read past a segment that may still complete";
    EXPECT_EQ(b->journal().cursor(a->device()), 0u);
    EXPECT_EQ(lines.count(), 1) << "a file that does not change is told once";

    overwrite(segmentPath(*a, 1), whole);
    b->importChanges();
    EXPECT_TRUE(b->findItem(first->uuid()));
    EXPECT_TRUE(b->findItem(second->uuid()));
}

TEST_F(SyncFolderTest, ASegmentReadAheadWhileHalfCopiedIsReadAgainOnceWhole)
{
    auto first = a->addItem(QStringLiteral("first"));
    ASSERT_FALSE(a->exportChanges().failure);
    auto second = a->addItem(QStringLiteral("second"));
    ASSERT_FALSE(a->exportChanges().failure);
    auto third = a->addItem(QStringLiteral("third"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QByteArray whole = cutShort(2);
    // A round that ends after the first segment, with the next one read ahead as it was then.
    EXPECT_TRUE(b->importChanges(1).more);
    EXPECT_TRUE(b->findItem(first->uuid()));
    EXPECT_FALSE(b->findItem(second->uuid()));

    overwrite(segmentPath(*a, 2), whole);
    b->importAll();
    EXPECT_TRUE(b->findItem(second->uuid())) << "a stale read-ahead was taken for the file";
    EXPECT_TRUE(b->findItem(third->uuid()));
    EXPECT_EQ(b->journal().cursor(a->device()), 3u);
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncFolderTest, ASegmentGivenUpOnIsReadWhenItsWholeCopyArrives)
{
    auto first = a->addItem(QStringLiteral("first"));
    ASSERT_FALSE(a->exportChanges().failure);
    auto second = a->addItem(QStringLiteral("second"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QByteArray whole = cutShort(1);
    for (int round = 0; round < 3; ++round)
        b->importChanges();
    // Unchanged for the whole give-up time while the next segment opens: the later ones go on.
    b->now += SyncImporter::kGiveUpMs;
    b->importChanges();
    EXPECT_TRUE(b->findItem(second->uuid()));
    EXPECT_FALSE(b->findItem(first->uuid()));
    EXPECT_EQ(b->journal().cursor(a->device()), 2u);

    // Remembered across a restart; changed but still partial, then whole.
    b->restartImporter();
    overwrite(segmentPath(*a, 1), whole.left(whole.size() - 1));
    b->importChanges();
    EXPECT_FALSE(b->findItem(first->uuid()));
    overwrite(segmentPath(*a, 1), whole);
    b->importChanges();
    ASSERT_TRUE(b->findItem(first->uuid()));
    EXPECT_EQ(b->state(), a->state());
}

TEST_F(SyncFolderTest, AFileThatCannotBeOpenedIsNoReasonToGiveUp)
{
    auto first = a->addItem(QStringLiteral("first"));
    ASSERT_FALSE(a->exportChanges().failure);
    const QByteArray whole = cutShort(1);
    // Junk under the next segment's name, and a whole segment renamed to a later one.
    overwrite(segmentPath(*a, 2), QByteArrayLiteral("not a segment"));
    overwrite(segmentPath(*a, 3), whole);
    for (int round = 0; round < 4; ++round) {
        b->importChanges();
        b->now += SyncImporter::kGiveUpMs;
    }
    EXPECT_EQ(b->journal().cursor(a->device()), 0u);
    overwrite(segmentPath(*a, 1), whole);
    b->importChanges();
    EXPECT_TRUE(b->findItem(first->uuid()));
    EXPECT_EQ(b->journal().cursor(a->device()), 1u);
}

TEST_F(SyncFolderTest, SealedButMalformedFilesNeverWedgeTheImporter)
{
    auto kept = b->addItem(QStringLiteral("b keeps this"));
    ASSERT_TRUE(b->context()->save());
    QRandomGenerator random(4711);
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    QStringList ids;
    for (int i = 0; i < 4; ++i)
        ids << QUuid::createUuid().toString(QUuid::WithoutBraces);
    auto record = [&](const char *op, double time) {
        return QJsonObject{{"k", "item"},
                           {"id", ids.at(int(random.bounded(4)))},
                           {"op", op},
                           {"t", time},
                           {"a", QJsonObject{{"text", QStringLiteral("fuzz %1").arg(random.bounded(100))}}}};
    };
    quint64 number = 0;
    for (int i = 0; i < 30; ++i) {
        QJsonArray records;
        QJsonObject changes;
        switch (i < 6 ? i : int(random.bounded(6))) {
        case 0: // no records at all
            break;
        case 1: // one record over and over
            for (int n = 0; n < 5; ++n)
                records.append(record("put", now));
            break;
        case 2: // an edit and a deletion before the insertion, times in any order
            for (const char *op : {"set", "del", "put", "set", "del"})
                records.append(record(op, now - double(random.bounded(1000)) + 500));
            break;
        case 3: // entries that are not records
            for (const QJsonValue &value :
                 {QJsonValue(7), QJsonValue(), QJsonValue("text"), QJsonValue(QJsonArray()), QJsonValue(QJsonObject())})
                records.append(value);
            break;
        case 4: // numbers no reader can take
            records.append(record("put", 1e300));
            records.append(QJsonObject{
                {"k", "item"}, {"id", ids.first()}, {"op", "set"}, {"t", now}, {"a", QJsonObject{{"index", 1e300}}}});
            if (random.bounded(2))
                changes.insert("number", 1e300);
            break;
        case 5: // more records than a segment may hold
            for (int n = 0; n <= 100000; ++n)
                records.append(QJsonObject());
            break;
        }
        writeSegment(++number, records, 1, changes);
        importOrEnd(*b);
        ASSERT_EQ(b->journal().cursor(a->device()), number) << "segment " << number << " was not read past";
    }

    // A snapshot whose parts hold nothing or nothing readable, and newer manifests that make no sense.
    const quint64 snapshot = ++number;
    writeSealed(
        SyncFolder::snapshotPartName(snapshot, 1),
        {{"format", 1}, {"device", a->device()}, {"number", double(snapshot)}, {"part", 1}, {"records", QJsonArray()}});
    writeSealed(
        SyncFolder::snapshotPartName(snapshot, 2),
        {{"format", 1}, {"device", a->device()}, {"number", double(snapshot)}, {"part", 2}, {"records", "none"}});
    writeSealed(SyncFolder::snapshotName(snapshot),
                {{"format", 1}, {"device", a->device()}, {"number", double(snapshot)}, {"parts", 2}});
    const QList<QJsonValue> nonsense{0, -1, 2.5, 1e300, "2"};
    for (int i = 0; i < nonsense.size(); ++i)
        writeSealed(SyncFolder::snapshotName(snapshot + 10 + quint64(i)),
                    {{"format", 1},
                     {"device", a->device()},
                     {"number", double(snapshot + 10 + quint64(i))},
                     {"parts", nonsense.at(i)}});
    importOrEnd(*b);
    EXPECT_EQ(b->journal().cursor(a->device()), snapshot);

    // Sync goes on: the next segment is read.
    const QString last = QUuid::createUuid().toString(QUuid::WithoutBraces);
    writeSegment(
        ++number,
        {QJsonObject{
            {"k", "item"}, {"id", last}, {"op", "put"}, {"t", now}, {"a", QJsonObject{{"text", "after the fuzz"}}}}});
    importOrEnd(*b);
    EXPECT_EQ(b->journal().cursor(a->device()), number);
    EXPECT_TRUE(b->findItem(QUuid(last)));
    EXPECT_TRUE(b->findItem(kept->uuid()));
}

TEST_F(SyncFolderTest, RecordsWaitingForGoodDoNotHoldBackTheOnesBehindThem)
{
    const double now = double(QDateTime::currentMSecsSinceEpoch());
    auto withBlob = [&](const QString &hash, qint64 size) {
        return QJsonObject{{"k", "item"},
                           {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)},
                           {"op", "put"},
                           {"t", now},
                           {"a", QJsonObject{{"text", "waits"}}},
                           {"p", QJsonArray{QJsonArray{"public.png", QJsonObject{{"b", hash}, {"n", double(size)}}}}}};
    };
    // Records whose blobs never come, then one whose blob comes late.
    QJsonArray records;
    for (int i = 0; i < 250; ++i)
        records.append(withBlob(QStringLiteral("%1").arg(i, 64, 16, QLatin1Char('0')), 10));
    const QByteArray picture(4096, 'p');
    const SyncKey key = testKeyOf();
    const QJsonObject late = withBlob(key.contentHash(picture), picture.size());
    records.append(late);
    writeSegment(1, records);
    LogCounter lines("SyncImporter");
    b->importChanges();
    EXPECT_FALSE(b->findItem(QUuid(late.value("id").toString())));
    EXPECT_LE(lines.count(), records.size()) << "each missing blob is told once";

    ASSERT_TRUE(std::holds_alternative<SyncBlobs::Ref>(SyncBlobs(a->journal(), a->folder(), key).put(picture)));
    for (int round = 0; round < 3 && !b->findItem(QUuid(late.value("id").toString())); ++round)
        b->importChanges();
    EXPECT_TRUE(b->findItem(QUuid(late.value("id").toString())));
    EXPECT_LE(lines.count(), records.size() + 1);
}

TEST_F(SyncFolderTest, AMarkerStillBeingCopiedInIsWaitedForNeverReplaced)
{
    const QString copying = m_root.path() + QStringLiteral("/copying");
    QDir().mkpath(copying);
    const QByteArray marker = contents(folder() + QLatin1Char('/') + SyncFolder::kMarkerName);
    overwrite(copying + QLatin1Char('/') + SyncFolder::kMarkerName, marker.left(marker.size() / 2));
    const SyncFolder::Joined early =
        SyncFolder(copying).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal());
    EXPECT_FALSE(early.key) << "a new marker replaced the one being copied in";
    EXPECT_TRUE(early.failure);
    EXPECT_EQ(SyncFolder(copying).status().status, CloudAccountStatus::TemporarilyUnavailable);
    EXPECT_EQ(contents(copying + QLatin1Char('/') + SyncFolder::kMarkerName), marker.left(marker.size() / 2));

    overwrite(copying + QLatin1Char('/') + SyncFolder::kMarkerName, marker);
    const SyncFolder::Joined joined =
        SyncFolder(copying).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);
    EXPECT_EQ(joined.key->bytes(), testKeyOf().bytes());
}

TEST_F(SyncFolderTest, AValuesFileThatCannotBeOpenedIsToldOnceUntilItChanges)
{
    QDir().mkpath(a->folder().deviceDirectory(a->device()));
    const QString values = a->folder().deviceDirectory(a->device()) + QLatin1Char('/') + SyncFolder::kValuesName;
    overwrite(values, QByteArrayLiteral("half a values file"));
    const SyncKey key = testKeyOf();
    SyncKeyValues reader(b->journal(), b->folder(), key);
    LogCounter lines("SyncKeyValues");
    for (int round = 0; round < 5; ++round)
        EXPECT_TRUE(reader.importValues({}).isEmpty());
    EXPECT_EQ(lines.count(), 1);
    overwrite(values, QByteArrayLiteral("another half, of another length"));
    reader.importValues({});
    EXPECT_EQ(lines.count(), 2);
}
