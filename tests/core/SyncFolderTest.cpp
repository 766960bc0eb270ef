#include "SyncTestSupport.h"

#include "core/sync/SyncSegment.h"

#include <QJsonArray>
#include <QStorageInfo>

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
    // Seals a segment of A's with arbitrary records, as a device holding the key could.
    void writeSegment(quint64 number, const QJsonArray &records, int format = 1)
    {
        const QString name = SyncFolder::segmentName(number);
        const QJsonObject content{{"format", format}, {"device", a->device()}, {"number", double(number)}, {"records", records}};
        ASSERT_FALSE(a->folder().writeFile(a->device(), name, SyncSegment::seal(testKeyOf(), a->device(), name, content)));
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
    for (int attempt = 0; attempt < SyncImporter::kAttemptsBeforeDrop + 1; ++attempt)
        b->importChanges();
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
    records.append(QJsonObject{{"k", "item"}, {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)}, {"op", "put"}, {"t", now + 1e12}, {"a", QJsonObject{{"text", "future"}}}});
    records.append(QJsonObject{{"k", "item"}, {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)}, {"op", "put"}, {"t", now}, {"a", QJsonObject{{"is_sticky", "yes"}}}});
    records.append(QJsonObject{{"k", "category"}, {"id", "../../etc|x"}, {"op", "put"}, {"t", now}, {"a", QJsonObject{{"name", "evil"}}}});
    records.append(QJsonObject{{"k", "shell"}, {"id", "x"}, {"op", "put"}, {"t", now}});
    records.append(QJsonObject{{"k", "item"}, {"id", QUuid::createUuid().toString(QUuid::WithoutBraces)}, {"op", "put"}, {"t", now}, {"a", QJsonObject{{"text", "fine"}}}});
    writeSegment(1, records);
    const SyncImporter::Result result = b->importChanges();
    EXPECT_EQ(result.partialErrors.size(), 4);
    EXPECT_EQ(b->state().filter(QStringLiteral("item")).size(), 2);
    EXPECT_TRUE(b->findItem(kept->uuid()));
    EXPECT_EQ(b->state().filter(QStringLiteral("text=fine")).size(), 1);
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
    for (const QFileInfo &device : QDir(fresh + QStringLiteral("/devices")).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
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

TEST_F(SyncFolderTest, AMarkerStillBeingCopiedInIsWaitedForNeverReplaced)
{
    const QString copying = m_root.path() + QStringLiteral("/copying");
    QDir().mkpath(copying);
    const QByteArray marker = contents(folder() + QLatin1Char('/') + SyncFolder::kMarkerName);
    overwrite(copying + QLatin1Char('/') + SyncFolder::kMarkerName, marker.left(marker.size() / 2));
    const SyncFolder::Joined early = SyncFolder(copying).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal());
    EXPECT_FALSE(early.key) << "a new marker replaced the one being copied in";
    EXPECT_TRUE(early.failure);
    EXPECT_EQ(SyncFolder(copying).status().status, CloudAccountStatus::TemporarilyUnavailable);
    EXPECT_EQ(contents(copying + QLatin1Char('/') + SyncFolder::kMarkerName), marker.left(marker.size() / 2));

    overwrite(copying + QLatin1Char('/') + SyncFolder::kMarkerName, marker);
    const SyncFolder::Joined joined = SyncFolder(copying).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal());
    ASSERT_TRUE(joined.key);
    EXPECT_EQ(joined.key->bytes(), testKeyOf().bytes());
}
