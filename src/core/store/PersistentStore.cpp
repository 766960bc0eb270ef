#include "core/store/PersistentStore.h"

#include "core/store/EntityDescription.h"
#include "core/store/StoreFailure.h"
#include "core/store/StoreSchema.h"
#include "core/store/StoredRowQuery.h"
#include "platform/LockedFiles.h"
#include "platform/Log.h"
#include "platform/Paths.h"
#include "platform/Strings.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Transaction.h>
#include <sqlite3.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <chrono>
#include <string>

namespace {
constexpr qsizetype kStatementCacheSize = 256;

class NewerStoreVersion : public std::runtime_error {
public:
    explicit NewerStoreVersion(int version) : std::runtime_error("store written by a newer version"), version(version)
    {
    }
    int version;
};

class ForeignDatabase : public std::runtime_error {
public:
    ForeignDatabase() : std::runtime_error("a database of another program: the history's tables are missing") {}
};

// tavi_fold(text, flags): text folded for CONTAINS; flags 1 = case, 2 = diacritics.
void foldFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 2 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const int flags = sqlite3_value_int(argv[1]);
    const QByteArray folded = StoreValues::foldUtf8(text, sqlite3_value_bytes(argv[0]), flags & 1, flags & 2);
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}

// tavi_order_key(text): what a text is sorted by for reading (readableOrderKey()), a blob.
void orderKeyFunction(sqlite3_context *context, int argc, sqlite3_value **argv)
{
    if (argc != 1 || sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray key = StoreValues::readableOrderKeyUtf8(text, sqlite3_value_bytes(argv[0]));
    sqlite3_result_blob(context, key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

int userVersion(SQLite::Database &database) { return database.execAndGet("PRAGMA user_version").getInt(); }

bool moveCompanion(const QString &from, const QString &to) { return !QFile::exists(from) || QFile::rename(from, to); }

// The wait for another program's lock while the store opens: one deadline for every statement of
// the opening, told once in the log, so a slow start has its reason written down.
struct OpeningWait {
    std::chrono::steady_clock::time_point deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(PersistentStore::kOpenBusyTimeoutMs);
    bool told = false;
};

int onBusy(void *context, int attempts)
{
    auto &wait = *static_cast<OpeningWait *>(context);
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(wait.deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    if (!wait.told) {
        wait.told = true;
        LOG_WARNING("PersistentStore::open()",
                    QStringLiteral("The store is locked by another connection; waiting up to %1 s for it")
                        .arg(PersistentStore::kOpenBusyTimeoutMs / 1000));
    }
    sqlite3_sleep(int(std::min<qint64>({qint64(1) << std::min(attempts, 6), 50, left.count()})));
    return 1;
}

void waitWhileBusy(SQLite::Database &database, OpeningWait &wait)
{
    sqlite3_busy_handler(database.getHandle(), &onBusy, &wait);
}

// What SQLite reports as a damaged file: the only failures that move a store aside.
bool isDamage(const std::exception &error)
{
    const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error);
    const int code = sqlite ? (sqlite->getExtendedErrorCode() & 0xff) : SQLITE_OK;
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

// What a failure that is no damage leaves the user: a lock held past the wait, or a file that
// cannot be written or read just now.
StoreProblem::Kind kindOfFailure(const std::exception &error)
{
    const auto *sqlite = dynamic_cast<const SQLite::Exception *>(&error);
    switch (sqlite ? (sqlite->getExtendedErrorCode() & 0xff) : SQLITE_OK) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return StoreProblem::Kind::Busy;
    case SQLITE_READONLY:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
    case SQLITE_FULL:
    case SQLITE_AUTH: return StoreProblem::Kind::Unwritable;
    default: return StoreProblem::Kind::Unreadable;
    }
}
} // namespace

QString StoreProblem::message() const
{
    switch (kind) {
    case Kind::Damaged:
        if (movedAsidePath.isEmpty())
            return Strings::text("Store.Problem.DamagedNotMoved").arg(path);
        return Strings::text("Store.Problem.Damaged").arg(movedAsidePath);
    case Kind::Foreign:
        if (movedAsidePath.isEmpty())
            return Strings::text("Store.Problem.ForeignNotMoved").arg(path);
        return Strings::text("Store.Problem.Foreign").arg(path, movedAsidePath);
    case Kind::NewerVersion: return Strings::text("Store.Problem.NewerVersion").arg(path);
    case Kind::Unwritable: return Strings::text("Store.Problem.Unwritable").arg(path);
    case Kind::Busy: return Strings::text("Store.Problem.Busy").arg(path);
    case Kind::Unreadable: return Strings::text("Store.Problem.Unreadable").arg(path);
    }
    return {};
}

PersistentStore::PersistentStore(std::unique_ptr<SQLite::Database> database, QString path, bool temporary,
                                 SearchIndex *indexedBy)
    : m_database(std::move(database)),
      m_path(std::move(path)),
      m_temporary(temporary),
      m_reader(indexedBy != nullptr),
      m_pageAnchors(std::make_unique<StoredRowQuery::PageAnchors>())
{
    if (!m_temporary)
        LockedFiles::hold(m_path);
    if (m_reader) {
        m_searchIndex = SearchIndex::readerOf(*m_database, *indexedBy);
        return;
    }
    SearchIndex::ConnectionFactory connect;
    if (!m_temporary) {
        connect = [path = m_path] { return connectTo(path, SQLite::OPEN_READWRITE); };
    }
    m_searchIndex = std::make_unique<SearchIndex>(*m_database, std::move(connect));
    // In place of SQLite's own copy of the log at commit time, which would hold up the writer
    // (and the context's lock) for as long as the copy takes.
    if (!m_temporary)
        sqlite3_wal_hook(m_database->getHandle(), &PersistentStore::logWritten, this);
}

PersistentStore::~PersistentStore()
{
    if (!m_temporary)
        sqlite3_wal_hook(m_database->getHandle(), nullptr, nullptr);
    std::thread copier;
    {
        std::lock_guard lock(m_copierMutex);
        m_copyAgain = false;
        copier = std::move(m_copier);
    }
    if (copier.joinable())
        copier.join();
    m_idleReaders.clear();
    m_writerProbe.reset();
    m_searchIndex.reset();
    m_statements.clear();
    m_checkpointConnection.reset();
    m_database.reset();
    if (!m_temporary)
        LockedFiles::release(m_path);
}

int PersistentStore::logWritten(void *context, sqlite3 *database, const char *name, int pages)
{
    auto *store = static_cast<PersistentStore *>(context);
    if (pages < store->m_copyLogAfterPages)
        return SQLITE_OK;
    bool running = false;
    {
        std::lock_guard lock(store->m_copierMutex);
        if (store->m_finished)
            return SQLITE_OK;
        running = store->m_copying;
        if (running) {
            store->m_copyAgain = true;
        } else {
            if (store->m_copier.joinable())
                store->m_copier.join(); // finished: it clears m_copying last
            store->m_copying = true;
            try {
                store->m_copier = std::thread([store] { store->copyLogInBackground(); });
            } catch (const std::system_error &) {
                store->m_copying = false;
                running = true; // no thread to copy it: copy here
            }
        }
    }
    if (running && pages >= store->m_copyLogNowPages) {
        // Waits for the running copy, then copies the rest on this connection, which also lets
        // the next write start the log afresh.
        std::lock_guard lock(store->m_checkpointMutex);
        const int result = sqlite3_wal_checkpoint_v2(database, name, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
        if (result != SQLITE_OK)
            LOG_WARNING("PersistentStore::logWritten()",
                        QStringLiteral("Checkpoint failed: ") + QString::fromUtf8(sqlite3_errstr(result)));
    }
    return SQLITE_OK;
}

void PersistentStore::copyLogInBackground()
{
    for (;;) {
        copyLogIntoStore();
        std::lock_guard lock(m_copierMutex);
        if (!m_copyAgain) {
            m_copying = false;
            return;
        }
        m_copyAgain = false;
    }
}

bool PersistentStore::finishWriting()
{
    if (m_temporary)
        return true;
    std::thread copier;
    {
        std::lock_guard lock(m_copierMutex);
        m_finished = true;
        m_copyAgain = false;
        copier = std::move(m_copier);
    }
    if (copier.joinable())
        copier.join();
    {
        std::lock_guard lock(m_checkpointMutex);
        m_checkpointConnection.reset();
    }
    {
        std::lock_guard lock(m_writerProbeMutex);
        m_writerProbe.reset();
    }
    {
        std::lock_guard lock(m_readerMutex);
        m_idleReaders.clear(); // an idle reader's cached statement could hold a snapshot
    }
    int logPages = -1;
    int copiedPages = -1;
    const int result = sqlite3_wal_checkpoint_v2(m_database->getHandle(), nullptr, SQLITE_CHECKPOINT_TRUNCATE,
                                                 &logPages, &copiedPages);
    if (result != SQLITE_OK) {
        LOG_WARNING("PersistentStore::finishWriting()",
                    QStringLiteral("The log stays beside the store: ") + QString::fromUtf8(sqlite3_errstr(result)));
        return false;
    }
    return true;
}

bool PersistentStore::isCopyingLog() const
{
    std::lock_guard lock(m_copierMutex);
    return m_copying;
}

void PersistentStore::setLogCopyLimitsForTesting(int afterPages, int nowPages)
{
    m_copyLogAfterPages = afterPages;
    m_copyLogNowPages = nowPages;
}

namespace {
std::function<void()> &logCopiedHook()
{
    static std::function<void()> hook;
    return hook;
}

std::function<void()> &readerHook()
{
    static std::function<void()> hook;
    return hook;
}
} // namespace

void PersistentStore::setLogCopiedHookForTesting(std::function<void()> hook) { logCopiedHook() = std::move(hook); }

void PersistentStore::setReaderHookForTesting(std::function<void()> hook) { readerHook() = std::move(hook); }

bool PersistentStore::copyLogIntoStore()
{
    if (m_temporary)
        return false;
    std::lock_guard lock(m_checkpointMutex);
    try {
        if (!m_checkpointConnection)
            m_checkpointConnection = connectTo(m_path, SQLite::OPEN_READWRITE);
        m_checkpointConnection->exec("PRAGMA wal_checkpoint(PASSIVE)");
        if (const auto hook = logCopiedHook())
            hook();
        return true;
    } catch (const std::exception &error) {
        LOG_WARNING("PersistentStore::copyLogIntoStore()",
                    QStringLiteral("Checkpoint failed: ") + storeFailureKind(error));
        m_checkpointConnection.reset();
        return false;
    }
}

bool PersistentStore::withReader(const std::function<void(PersistentStore &reader)> &read)
{
    if (m_temporary || isReader())
        return false;
    if (const auto hook = readerHook())
        hook();
    // An idle reader, or a new one: two threads that read at once (a list's count and the next
    // list's page) never wait for each other.
    std::unique_ptr<PersistentStore> reader;
    {
        std::lock_guard lock(m_readerMutex);
        if (!m_idleReaders.empty()) {
            reader = std::move(m_idleReaders.back());
            m_idleReaders.pop_back();
        }
    }
    if (!reader) {
        try {
            reader.reset(
                new PersistentStore(connectTo(m_path, SQLite::OPEN_READONLY), m_path, false, m_searchIndex.get()));
        } catch (const std::exception &error) {
            LOG_WARNING("PersistentStore::withReader()", QStringLiteral("No reader: ") + storeFailureKind(error));
            return false;
        }
    }
    try {
        read(*reader);
    } catch (const std::exception &error) {
        // Dropped: a failed statement may keep its read open, which would hold back checkpoints.
        LOG_WARNING("PersistentStore::withReader()", QStringLiteral("Read failed: ") + storeFailureKind(error));
        return false;
    }
    std::lock_guard lock(m_readerMutex);
    if (m_idleReaders.size() < kIdleReaders)
        m_idleReaders.push_back(std::move(reader));
    return true;
}

void PersistentStore::waitForWriter()
{
    if (m_temporary || isReader())
        return;
    std::lock_guard lock(m_writerProbeMutex);
    try {
        if (!m_writerProbe)
            m_writerProbe = connectTo(m_path, SQLite::OPEN_READWRITE);
        m_writerProbe->exec("BEGIN IMMEDIATE");
        m_writerProbe->exec("ROLLBACK");
    } catch (const std::exception &error) {
        // The save then waits under the lock, as it always could.
        LOG_DEBUG("PersistentStore::waitForWriter()", QStringLiteral("Writer still busy: ") + storeFailureKind(error));
        m_writerProbe.reset();
    }
}

std::unique_ptr<SQLite::Database> PersistentStore::connectTo(const QString &path, int flags)
{
    auto connection = std::make_unique<SQLite::Database>(QFile::encodeName(path).toStdString(), flags, kBusyTimeoutMs);
    configure(*connection);
    return connection;
}

void PersistentStore::configure(SQLite::Database &database)
{
    database.setBusyTimeout(kBusyTimeoutMs);
    // A quoted name that matches no column is an error, not a text literal: a missing column must
    // never read back as its own name.
    sqlite3_db_config(database.getHandle(), SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
    sqlite3_db_config(database.getHandle(), SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
    database.exec("PRAGMA foreign_keys = ON");
    database.exec("PRAGMA synchronous = NORMAL");
    // The file is read, never mapped: a page of a mapped file that a disk error or another
    // program's truncation takes away ends the process (SIGBUS), where a read fails as an error.
    // Lists and searches read as fast either way (bench/list_window).
    database.exec("PRAGMA mmap_size = 0");
    database.createFunction("tavi_fold", 2, true, nullptr, &foldFunction);
    database.createFunction("tavi_order_key", 1, true, nullptr, &orderKeyFunction);
    SearchIndex::registerFunctions(database);
}

void PersistentStore::migrate(SQLite::Database &database, int fromVersion)
{
    if (fromVersion == kSchemaVersion)
        return;
    SQLite::Transaction transaction(database, SQLite::TransactionBehavior::IMMEDIATE);
    // Another process may have migrated while we waited for the write lock.
    for (int version = userVersion(database); version < kSchemaVersion; ++version) {
        StoreSchema::migrate(database, version);
        database.exec("PRAGMA user_version = " + std::to_string(version + 1));
        LOG_INFO("PersistentStore::migrate()", QStringLiteral("[+] store schema now at version %1").arg(version + 1));
    }
    transaction.commit();
}

std::unique_ptr<SQLite::Database> PersistentStore::openFile(const QString &path)
{
    const std::string file = QFile::encodeName(path).toStdString();
    OpeningWait wait; // outlives both connections
    if (QFileInfo::exists(path)) {
        // Look before touching anything: a newer store must stay exactly as it is.
        SQLite::Database probe(file, SQLite::OPEN_READONLY);
        waitWhileBusy(probe, wait);
        const int version = userVersion(probe);
        if (version > kSchemaVersion)
            throw NewerStoreVersion(version);
        if (!StoreSchema::isOwnDatabase(probe, version))
            throw ForeignDatabase();
    }
    // Before the connection opens it: the -wal and -shm files SQLite makes take the store's mode.
    // Nothing here opens a file a connection of this process may already have open.
    Paths::makePrivateFile(path);
    auto database = std::make_unique<SQLite::Database>(file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    for (const QString &companion : QStringList{path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
        if (QFileInfo::exists(companion))
            QFile::setPermissions(companion, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    configure(*database);
    waitWhileBusy(*database, wait);
    // A new file keeps a map of its pages' owners, which lets SQLite step over the overflow pages
    // of a large text or image when a row's later columns are read (a list page holding a 48 MB
    // copy reads a few pages instead of all of them). It can only be chosen before the first table.
    if (database->execAndGet("PRAGMA page_count").getInt64() == 0)
        database->exec("PRAGMA auto_vacuum = INCREMENTAL");
    const std::string mode = database->execAndGet("PRAGMA journal_mode = WAL").getString();
    if (mode != "wal")
        LOG_WARNING("PersistentStore::openFile()",
                    QStringLiteral("journal mode stays %1").arg(QString::fromStdString(mode)));
    const int version = userVersion(*database);
    if (version > kSchemaVersion)
        throw NewerStoreVersion(version);
    migrate(*database, version);
    database->setBusyTimeout(kBusyTimeoutMs);
    return database;
}

PersistentStore::OpenResult PersistentStore::open(const QString &path)
{
    Paths::makePrivateDirectory(QFileInfo(path).absolutePath());
    try {
        auto database = openFile(path);
        LOG_INFO("PersistentStore::open()", QStringLiteral("Store URL:") + path);
        return {std::shared_ptr<PersistentStore>(new PersistentStore(std::move(database), path, false)), std::nullopt};
    } catch (const NewerStoreVersion &newer) {
        StoreProblem problem{StoreProblem::Kind::NewerVersion, path, {}, {}, newer.version};
        LOG_ERROR("PersistentStore::open()",
                  QStringLiteral("Store %1 has schema version %2, this version reads up to %3; left unchanged, "
                                 "using a temporary store")
                      .arg(path)
                      .arg(newer.version)
                      .arg(kSchemaVersion));
        return {openTemporary(), problem};
    } catch (const std::exception &error) {
        const bool foreign = dynamic_cast<const ForeignDatabase *>(&error);
        if (!foreign && !isDamage(error)) {
            // A lock held past the wait, a failed read, no room or no right to write: the file
            // is sound as far as anyone knows, and stays exactly where and as it is.
            StoreProblem problem{kindOfFailure(error), path, {}, storeFailureKind(error), 0};
            LOG_ERROR("PersistentStore::open()",
                      QStringLiteral("Store %1 cannot be opened (%2); left as it is, using a temporary store")
                          .arg(path, problem.detail));
            return {openTemporary(), problem};
        }
        const StoreProblem::Kind kind = foreign ? StoreProblem::Kind::Foreign : StoreProblem::Kind::Damaged;
        StoreProblem problem{kind, path, {}, storeFailureKind(error), 0};
        LOG_ERROR("PersistentStore::open()",
                  QStringLiteral("Unresolved error %1, store %2 cannot be opened").arg(problem.detail, path));
        const QString aside = Paths::moveAside(path, kind == StoreProblem::Kind::Foreign ? QStringLiteral("foreign")
                                                                                         : QStringLiteral("damaged"));
        if (aside.isEmpty()) {
            if (!QFileInfo::exists(path))
                problem.kind = StoreProblem::Kind::Unwritable;
            LOG_ERROR("PersistentStore::open()",
                      QStringLiteral("Could not move %1 aside; using a temporary store").arg(path));
            return {openTemporary(), problem};
        }
        moveCompanion(path + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
        moveCompanion(path + QStringLiteral("-shm"), aside + QStringLiteral("-shm"));
        problem.movedAsidePath = aside;
        LOG_WARNING("PersistentStore::open()",
                    QStringLiteral("[-] %1 kept at %2; starting a new one")
                        .arg(kind == StoreProblem::Kind::Foreign ? QStringLiteral("foreign database")
                                                                 : QStringLiteral("damaged store"),
                             aside));
        try {
            auto database = openFile(path);
            return {std::shared_ptr<PersistentStore>(new PersistentStore(std::move(database), path, false)), problem};
        } catch (const std::exception &again) {
            LOG_ERROR("PersistentStore::open()",
                      QStringLiteral("Unresolved error %1, using a temporary store").arg(storeFailureKind(again)));
            problem.kind = StoreProblem::Kind::Unwritable;
            return {openTemporary(), problem};
        }
    }
}

std::shared_ptr<PersistentStore> PersistentStore::openExisting(const QString &path)
{
    auto database = connectTo(path, SQLite::OPEN_READWRITE);
    if (userVersion(*database) != kSchemaVersion)
        throw std::runtime_error("the store is not at the current version");
    return std::shared_ptr<PersistentStore>(new PersistentStore(std::move(database), path, false));
}

std::shared_ptr<PersistentStore> PersistentStore::openTemporary()
{
    auto database = std::make_unique<SQLite::Database>(":memory:", SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    configure(*database);
    migrate(*database, 0);
    return std::shared_ptr<PersistentStore>(new PersistentStore(std::move(database), QString(), true));
}

SQLite::Statement &PersistentStore::statement(const QString &sql)
{
    auto it = m_statements.find(sql);
    if (it == m_statements.end()) {
        auto prepared = std::make_shared<SQLite::Statement>(*m_database, sql.toStdString());
        if (m_statements.size() >= kStatementCacheSize)
            m_statements.clear();
        it = m_statements.insert(sql, std::move(prepared));
    }
    SQLite::Statement &statement = **it;
    statement.tryReset(); // a statement that failed last time reports that error again here
    statement.clearBindings();
    return statement;
}
