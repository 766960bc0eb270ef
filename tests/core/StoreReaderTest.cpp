#include "StoreTestSupport.h"

#include "support/TestEnvironment.h"

#include <QSet>

#include <sqlite3.h>

#include <cstring>
#include <future>
#include <mutex>
#include <thread>

namespace {
const QList<SortDescriptor> kNewestFirst = {{QStringLiteral("modifiedAt"), false}};

// A page of the newest items and the count of all, as a list reads them.
struct ListAnswer {
    QStringList page;
    qsizetype count = -1;
    bool operator==(const ListAnswer &) const = default;
};

ListAnswer readList(ManagedObjectContext &context, int limit = 10)
{
    auto request = PBItemRecord::fetchRequest();
    request.sortDescriptors = kNewestFirst;
    request.fetchLimit = limit;
    ListAnswer answer;
    answer.count = context.count(PBItemRecord::fetchRequest()).value_or(-1);
    for (const auto &record : context.fetch(request).value_or(QList<std::shared_ptr<PBItemRecord>>()))
        answer.page.append(record->text());
    return answer;
}

std::optional<ListAnswer> readListOnReader(ManagedObjectContext &context, int limit = 10)
{
    ListAnswer answer;
    if (!context.readOnReader([&](ManagedObjectContext &reader) { answer = readList(reader, limit); }))
        return std::nullopt;
    return answer;
}

// Another connection's write transaction, as a sync import holds one: the store's writers wait
// for it, readers do not.
class WriteLock {
public:
    explicit WriteLock(const QString &path) : m_database(path.toStdString(), SQLite::OPEN_READWRITE, 10000)
    {
        m_database.exec("BEGIN IMMEDIATE");
    }
    void release()
    {
        if (std::exchange(m_held, false))
            m_database.exec("COMMIT");
    }
    ~WriteLock() { release(); }

private:
    SQLite::Database m_database;
    bool m_held = true;
};

bool lockIsHeld(ManagedObjectContext &context)
{
    if (!context.mutex().try_lock())
        return true;
    context.mutex().unlock();
    return false;
}
} // namespace

TEST_F(StoreTest, ListsAreReadWhileABatchDeleteWaitsForAnotherConnectionsWrite)
{
    for (int i = 0; i < 20; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    const ListAnswer before = readList(*context());
    ASSERT_EQ(before.count, 20);
    EXPECT_EQ(readListOnReader(*context()), before);

    // The delete holds the context's lock while it waits for the writer, then for its transaction.
    WriteLock writer(storePath());
    std::future<bool> deletion = std::async(std::launch::async, [this] {
        return context()
            ->executeBatchDelete(PBItemRecord::entityDescription(),
                                 Predicate::in(QStringLiteral("text"), {QStringLiteral("r19"), QStringLiteral("r18")}))
            .has_value();
    });
    ASSERT_TRUE(waitUntil([&] { return lockIsHeld(*context()); }));
    EXPECT_EQ(readListOnReader(*context()), before) << "the store as it was before the delete";
    EXPECT_EQ(deletion.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "read without waiting";
    writer.release();
    ASSERT_TRUE(deletion.get());
    const auto deleted = readListOnReader(*context());
    ASSERT_TRUE(deleted);
    EXPECT_EQ(deleted->count, 18);
    EXPECT_EQ(deleted->page.value(0), QStringLiteral("r17"));
    EXPECT_EQ(*deleted, readList(*context()));
}

TEST_F(StoreTest, UnsavedChangesAreReadOnAReaderAsTheContextSeesThem)
{
    for (int i = 0; i < 5; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    item(QStringLiteral("new"), 100);
    EXPECT_FALSE(context()->readsMatchStore());
    const ListAnswer unsaved = readList(*context());
    EXPECT_EQ(unsaved.count, 6);
    EXPECT_EQ(readListOnReader(*context()), unsaved) << "the unsaved insert, copied to the reader";
    EXPECT_FALSE(context()->readsMatchStore()) << "the copy leaves the change the context's";

    // Waiting for another connection's write, the save leaves the context's lock free: reads on
    // readers and through the context go on meanwhile.
    WriteLock writer(storePath());
    std::future<bool> save = std::async(std::launch::async, [this] { return context()->save(); });
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(readListOnReader(*context()), unsaved);
        EXPECT_EQ(readList(*context()), unsaved);
    }
    EXPECT_EQ(save.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "read without waiting";
    EXPECT_FALSE(lockIsHeld(*context()));
    writer.release();
    ASSERT_TRUE(save.get());
    EXPECT_TRUE(context()->readsMatchStore());
    EXPECT_EQ(readListOnReader(*context()), unsaved);

    // Every way a change comes and goes keeps the state a reader relies on.
    const auto records = context()->fetch(PBItemRecord::fetchRequest()).value();
    context()->deleteObject(records.value(0));
    EXPECT_FALSE(context()->readsMatchStore());
    context()->insert(records.value(0)); // revived: nothing left to save
    EXPECT_EQ(context()->readsMatchStore(), !context()->hasChanges());
    records.value(1)->setModifiedAt(at(200));
    EXPECT_FALSE(context()->readsMatchStore());
    // The edited row deleted in the store takes its edit with it.
    ASSERT_TRUE(
        context()->executeBatchDelete(PBItemRecord::entityDescription(), Predicate::selfIn({records.value(1)})));
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_TRUE(context()->readsMatchStore());
    EXPECT_EQ(readListOnReader(*context()), readList(*context()));
}

TEST_F(StoreTest, AReaderNeverChangesTheContextNorEntersItsRecords)
{
    category(QStringLiteral("c"));
    for (int i = 0; i < 5; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    reopen();
    const int registered = context()->registeredObjectCount();
    ASSERT_TRUE(context()->readOnReader([&](ManagedObjectContext &reader) {
        EXPECT_TRUE(reader.isReadOnly());
        const auto records =
            reader.fetch(PBItemRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBItemRecord>>());
        ASSERT_EQ(records.size(), 5);
        records.first()->setText(QStringLiteral("edited"));
        reader.deleteObject(records.last());
        reader.insertNewObject<PBItemRecord>()->setText(QStringLiteral("inserted"));
        EXPECT_FALSE(reader.hasChanges());
        EXPECT_TRUE(reader.save());
    }));
    EXPECT_EQ(context()->registeredObjectCount(), registered);
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_EQ(fetchTexts(std::nullopt, kNewestFirst), (QStringList{"r4", "r3", "r2", "r1", "r0"}));
    EXPECT_EQ(rowCount("PBItemRecord"), 5);

    // Edits not saved yet are taken in by a reader, never skipped, and stay the context's.
    context()->fetch(PBItemRecord::fetchRequest())->first()->setModifiedAt(at(50));
    ASSERT_FALSE(context()->readsMatchStore());
    const ListAnswer edited = readList(*context());
    EXPECT_EQ(edited.page.value(0), QStringLiteral("r0"));
    const int withEdit = context()->registeredObjectCount();
    EXPECT_EQ(readListOnReader(*context()), edited);
    EXPECT_TRUE(context()->hasChanges());
    EXPECT_EQ(context()->registeredObjectCount(), withEdit);
}

TEST_F(StoreTest, AListReadOnAReaderSeesOneStateOfTheStoreWhileAnotherConnectionWrites)
{
    // Item i is modified at i: the newest page of a count of n is r(n-1) down to r(n-limit).
    constexpr int kBatches = 30, kBatch = 20, kLimit = 25;
    std::atomic<bool> done = false;
    std::thread importer([&] {
        ManagedObjectContext other(PersistentStore::openExisting(storePath()));
        for (int batch = 0; batch < kBatches; ++batch) {
            for (int i = batch * kBatch; i < (batch + 1) * kBatch; ++i) {
                auto record = other.insertNewObject<PBItemRecord>();
                record->setUuid(QUuid::createUuid());
                record->setText(QStringLiteral("r%1").arg(i));
                record->setDataHash(QStringLiteral("hash-%1").arg(i));
                record->setCreatedAt(at(i));
                record->setModifiedAt(at(i));
            }
            EXPECT_TRUE(other.save());
        }
        done = true;
    });
    int answered = 0;
    QSet<qsizetype> counts;
    while (!done) {
        const auto answer = readListOnReader(*context(), kLimit);
        ASSERT_TRUE(answer) << "the context has no changes of its own";
        ++answered;
        counts.insert(answer->count);
        ASSERT_EQ(answer->count % kBatch, 0) << "a save is seen whole or not at all";
        QStringList expected;
        for (qsizetype i = answer->count - 1; i >= 0 && expected.size() < kLimit; --i)
            expected.append(QStringLiteral("r%1").arg(i));
        ASSERT_EQ(answer->page, expected) << "count " << answer->count;
    }
    importer.join();
    EXPECT_GT(counts.size(), 2) << "reads came between the writes";
    EXPECT_EQ(readListOnReader(*context(), kLimit)->count, kBatches * kBatch);
}

namespace {
// Holds the save of the context's connection at its first change of a row of `table`, or at its
// commit, until released: the save then keeps its lock and the snapshot of its changes.
class HeldSave {
public:
    enum class At { RowChange, Commit };
    // With `rejectCommit`, the commit fails once the save is released.
    HeldSave(ManagedObjectContext &context, At at, const char *table = "PBItemRecord", bool rejectCommit = false)
        : m_database(context.store()->database().getHandle()),
          m_table(table),
          m_at(at),
          m_rejectCommit(rejectCommit)
    {
        if (at == At::RowChange)
            sqlite3_update_hook(m_database, &HeldSave::rowChanged, this);
        if (at == At::Commit || rejectCommit)
            sqlite3_commit_hook(m_database, &HeldSave::committing, this);
    }
    ~HeldSave()
    {
        release();
        sqlite3_update_hook(m_database, nullptr, nullptr);
        sqlite3_commit_hook(m_database, nullptr, nullptr);
    }
    bool held() const { return m_held; }
    void release() { m_released.set_value_once(); }

private:
    struct Gate {
        std::promise<void> promise;
        std::shared_future<void> future = promise.get_future().share();
        std::once_flag once;
        void set_value_once()
        {
            std::call_once(once, [this] { promise.set_value(); });
        }
    };
    void hold()
    {
        if (m_held.exchange(true))
            return;
        m_released.future.wait();
    }
    static void rowChanged(void *self, int, const char *, const char *table, sqlite3_int64)
    {
        auto *held = static_cast<HeldSave *>(self);
        if (std::strcmp(table, held->m_table) == 0)
            held->hold();
    }
    static int committing(void *self)
    {
        auto *held = static_cast<HeldSave *>(self);
        if (held->m_at == At::Commit)
            held->hold();
        return held->m_rejectCommit ? 1 : 0;
    }

    sqlite3 *m_database;
    const char *m_table;
    At m_at;
    bool m_rejectCommit;
    std::atomic<bool> m_held = false;
    Gate m_released;
};

QStringList categoryTexts(ManagedObjectContext &context, const QString &id)
{
    auto categories = PBCategoryRecord::fetchRequest();
    categories.predicate = Predicate::equal(QStringLiteral("id"), id);
    const auto found = context.fetch(categories).value_or(QList<std::shared_ptr<PBCategoryRecord>>());
    if (found.isEmpty())
        return {QStringLiteral("<no category>")};
    auto request = PBItemRecord::fetchRequest();
    request.predicate = Predicate::relationshipContains(QStringLiteral("categories"), found.first());
    request.sortDescriptors = kNewestFirst;
    QStringList texts;
    for (const auto &record : context.fetch(request).value_or(QList<std::shared_ptr<PBItemRecord>>())) {
        QString text = record->text();
        for (const auto &pasteboard : record->pasteboards())
            text += QStringLiteral("+") + QString::fromUtf8(pasteboard->data());
        texts.append(text);
    }
    return texts;
}
} // namespace

TEST_F(StoreTest, AListReadDuringASaveSeesTheSaveWithoutWaitingForIt)
{
    const auto filed = category(QStringLiteral("c"));
    QList<std::shared_ptr<PBItemRecord>> items;
    for (int i = 0; i < 5; ++i)
        items.append(item(QStringLiteral("r%1").arg(i), i));
    items[3]->addCategories({filed});
    ASSERT_TRUE(context()->save());

    // A new item with a payload, filed under the category; an edit that moves r1 to the top and
    // files it too; a delete of r3, which leaves the category.
    const auto added = item(QStringLiteral("new"), 100);
    added->addPasteboardsObject(pasteboard(QStringLiteral("public.utf8-plain-text"), QByteArray(1 << 20, 'p').left(3)));
    added->addCategories({filed});
    items[1]->setModifiedAt(at(200));
    items[1]->addCategories({filed});
    context()->deleteObject(items[3]);
    const ListAnswer expected = readList(*context());
    ASSERT_EQ(expected.count, 5);
    ASSERT_EQ(expected.page.value(0), QStringLiteral("r1"));
    const QStringList filedTexts = categoryTexts(*context(), QStringLiteral("c"));
    ASSERT_EQ(filedTexts, (QStringList{"r1", "new+ppp"}));

    HeldSave held(*context(), HeldSave::At::RowChange);
    std::future<bool> save = std::async(std::launch::async, [this] { return context()->save(); });
    ASSERT_TRUE(waitUntil([&] { return held.held(); }));
    ASSERT_TRUE(lockIsHeld(*context()));
    EXPECT_EQ(readListOnReader(*context()), expected) << "the save's changes, read while it writes them";
    QStringList readerFiled;
    EXPECT_TRUE(context()->readOnReader(
        [&](ManagedObjectContext &reader) { readerFiled = categoryTexts(reader, QStringLiteral("c")); }));
    EXPECT_EQ(readerFiled, filedTexts);
    // A search, through the reader's search index.
    auto search = PBItemRecord::fetchRequest();
    search.predicate = Predicate::search({QStringLiteral("text"), QStringLiteral("appName")}, QStringLiteral("new"));
    std::optional<qsizetype> found;
    QStringList foundTexts;
    EXPECT_TRUE(context()->readOnReader([&](ManagedObjectContext &reader) {
        EXPECT_TRUE(reader.store()->searchIndex().isReady());
        found = reader.count(search);
        for (const auto &record : reader.fetch(search).value_or(QList<std::shared_ptr<PBItemRecord>>()))
            foundTexts << record->text();
    }));
    EXPECT_EQ(found, 1);
    EXPECT_EQ(foundTexts, QStringList{QStringLiteral("new")});
    EXPECT_EQ(save.wait_for(std::chrono::seconds(0)), std::future_status::timeout) << "read without waiting";
    EXPECT_TRUE(context()->readOnReader([&](ManagedObjectContext &reader) {
        EXPECT_TRUE(reader.hasChanges());
        EXPECT_FALSE(reader.save()) << "a reader never writes what it took in";
    }));

    held.release();
    ASSERT_TRUE(save.get());
    EXPECT_FALSE(context()->hasChanges());
    EXPECT_EQ(readListOnReader(*context()), expected);
    EXPECT_EQ(readList(*context()), expected);
    EXPECT_EQ(categoryTexts(*context(), QStringLiteral("c")), filedTexts);
    EXPECT_EQ(rowCount("PBItemRecord"), 5);
}

TEST_F(StoreTest, AListReadDuringASavesCommitSeesItsChangesOnce)
{
    for (int i = 0; i < 5; ++i)
        item(QStringLiteral("r%1").arg(i), i);
    ASSERT_TRUE(context()->save());
    item(QStringLiteral("new"), 100);
    const ListAnswer expected = readList(*context());
    ASSERT_EQ(expected.count, 6);

    // A save with a new row commits without the readers' lock: a read during its commit answers
    // at once, from the snapshot before it with the save's changes taken in, or from one after it.
    {
        HeldSave held(*context(), HeldSave::At::Commit);
        std::future<bool> save = std::async(std::launch::async, [this] { return context()->save(); });
        ASSERT_TRUE(waitUntil([&] { return held.held(); }));
        EXPECT_EQ(readListOnReader(*context()), expected) << "the new item once, while the commit runs";
        held.release();
        ASSERT_TRUE(save.get());
    }
    EXPECT_EQ(readListOnReader(*context()), expected) << "the new item once, after the commit";

    // A save of edits alone: a read that starts during its commit waits for it.
    context()->fetch(PBItemRecord::fetchRequest())->first()->setModifiedAt(at(300));
    const ListAnswer edited = readList(*context());
    ASSERT_EQ(edited.count, 6);
    {
        HeldSave held(*context(), HeldSave::At::Commit);
        std::future<bool> save = std::async(std::launch::async, [this] { return context()->save(); });
        ASSERT_TRUE(waitUntil([&] { return held.held(); }));
        std::atomic<bool> reading = false;
        PersistentStore::setReaderHookForTesting([&] { reading = true; });
        std::future<std::optional<ListAnswer>> read =
            std::async(std::launch::async, [this] { return readListOnReader(*context()); });
        ASSERT_TRUE(waitUntil([&] { return reading.load(); }));
        held.release();
        const std::optional<ListAnswer> answer = read.get();
        PersistentStore::setReaderHookForTesting({});
        ASSERT_TRUE(save.get());
        ASSERT_TRUE(answer);
        EXPECT_EQ(*answer, edited) << "the edit once";
    }

    // A save that fails leaves its changes unsaved: readers see them as the context does, while it
    // writes and once it has failed.
    item(QStringLiteral("newer"), 101);
    const ListAnswer pending = readList(*context());
    ASSERT_EQ(pending.count, 7);
    {
        HeldSave failing(*context(), HeldSave::At::RowChange, "PBItemRecord", true);
        std::future<bool> failed = std::async(std::launch::async, [this] { return context()->save(); });
        ASSERT_TRUE(waitUntil([&] { return failing.held(); }));
        EXPECT_EQ(readListOnReader(*context()), pending);
        failing.release();
        EXPECT_FALSE(failed.get());
    }
    EXPECT_TRUE(context()->hasChanges());
    EXPECT_EQ(readListOnReader(*context()), pending);
    EXPECT_EQ(readList(*context()), pending);
    EXPECT_EQ(rowCount("PBItemRecord"), 6);
    ASSERT_TRUE(context()->save());
    EXPECT_EQ(readListOnReader(*context()), pending);
}
