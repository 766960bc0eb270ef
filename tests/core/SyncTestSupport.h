#pragma once
// Two or more history stores that sync through folders in one test process, with a replicator
// that copies files between folders the way file-sync services do.

#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "core/sync/SyncExporter.h"
#include "core/sync/SyncImporter.h"
#include "core/sync/SyncKeyValues.h"
#include "core/sync/SyncSnapshots.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <string_view>

// A folder key made once with the cheapest derivation.
inline const SyncKey &testKey()
{
    static const SyncKey key = *SyncKey::derive(QStringLiteral("correct horse"), QByteArray(SyncKey::kSaltSize, 'x'), SyncKey::Cost::minimal());
    return key;
}

// A synced folder that already has its marker.
inline void prepareFolder(const QString &path, const QString &passphrase = QStringLiteral("correct horse"))
{
    QDir().mkpath(path);
    ASSERT_TRUE(SyncFolder(path).join(passphrase, SyncKey::Cost::minimal()).key);
}

class SyncPeer {
public:
    explicit SyncPeer(const QString &folder) : m_folder(folder), stack(std::make_unique<CoreDataStack>(m_dir.path() + QStringLiteral("/PBHistory.sqlite")))
    {
        m_journal = SyncJournal::open(stack->storePath());
        m_journal->install();
        m_key = keyFor(folder);
    }
    static SyncKey keyFor(const QString &folder) { return *SyncFolder(folder).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal()).key; }

    std::shared_ptr<ManagedObjectContext> context() const { return stack->managedContext(); }
    QString device() { return m_journal->deviceId(); }
    SyncJournal &journal() { return *m_journal; }
    SyncFolder &folder() { return m_folder; }

    SyncExporter::Result exportChanges(qint64 budget = 0)
    {
        EXPECT_TRUE(context()->save());
        SyncExporter exporter(*m_journal, m_folder, m_key);
        exporter.setBudget(budget);
        return exporter.exportChanges();
    }
    SyncImporter &importer() { return m_importer(); }
    // As after a restart: what the importer kept in memory is gone.
    void restartImporter() { m_importerInstance.reset(); }
    SyncImporter::Result importChanges(int recordBudget = SyncImporter::kRecordsPerRound)
    {
        SyncImporter::Result result = m_importer().importChanges(recordBudget);
        stack->storeRemoteChange({result.changedRows, result.deletedRows});
        return result;
    }
    // Rounds until nothing more is left to read now.
    void importAll()
    {
        for (int round = 0; round < 1000 && importChanges().more; ++round) {
        }
    }
    // Compaction and the importer's patience on a clock the test moves (ms since the epoch).
    SyncSnapshots snapshots()
    {
        SyncSnapshots snapshots(*m_journal, m_folder, m_key);
        snapshots.setClock([this] { return now; });
        snapshots.setRecordsPerPart(4); // several parts even for a small history
        return snapshots;
    }
    qint64 now = QDateTime::currentMSecsSinceEpoch();

    std::shared_ptr<PBItemRecord> addItem(const QString &text)
    {
        auto record = context()->insertNewObject<PBItemRecord>();
        record->setUuid(QUuid::createUuid());
        record->setText(text);
        record->setDataHash(QStringLiteral("hash-") + text);
        record->setCreatedAt(QDateTime::currentDateTimeUtc());
        record->setModifiedAt(QDateTime::currentDateTimeUtc());
        return record;
    }
    std::shared_ptr<PBCategoryRecord> addCategory(const QString &id, qint64 index)
    {
        auto record = context()->insertNewObject<PBCategoryRecord>();
        record->setId(id);
        record->setName(QStringLiteral("Category ") + id);
        record->setType(QStringLiteral("custom"));
        record->setIndex(index);
        return record;
    }
    std::shared_ptr<PBItemRecord> findItem(const QUuid &uuid)
    {
        FetchRequest<PBItemRecord> request = PBItemRecord::fetchRequest();
        request.predicate = Predicate::equal(QStringLiteral("uuid"), uuid);
        auto found = context()->fetch(request);
        return found && !found->isEmpty() ? found->first() : nullptr;
    }
    std::shared_ptr<PBCategoryRecord> findCategory(const QString &id)
    {
        FetchRequest<PBCategoryRecord> request = PBCategoryRecord::fetchRequest();
        request.predicate = Predicate::equal(QStringLiteral("id"), id);
        auto found = context()->fetch(request);
        return found && !found->isEmpty() ? found->first() : nullptr;
    }

    // Everything the lists show, in a form two stores can be compared by.
    QStringList state()
    {
        QStringList lines;
        for (const auto &item : context()->fetch(PBItemRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBItemRecord>>())) {
            QStringList categories;
            for (const auto &category : item->categories())
                categories << category->id();
            categories.sort();
            QStringList pasteboards;
            for (const auto &pasteboard : item->pasteboards())
                pasteboards << pasteboard->type() + QLatin1Char('=')
                                   + QString::fromLatin1(pasteboard->data().size() <= 32
                                                             ? pasteboard->data().toHex()
                                                             : QCryptographicHash::hash(pasteboard->data(), QCryptographicHash::Md5).toHex());
            lines << QStringLiteral("item %1 text=%2 sticky=%3 comment=%4 in=%5 pb=%6")
                         .arg(item->uuid().toString(), item->text())
                         .arg(item->is_sticky())
                         .arg(item->comment(), categories.join(QLatin1Char(',')), pasteboards.join(QLatin1Char(',')));
        }
        for (const auto &category : context()->fetch(PBCategoryRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBCategoryRecord>>()))
            lines << QStringLiteral("category %1 name=%2 index=%3 hidden=%4")
                         .arg(category->id(), category->name())
                         .arg(category->index())
                         .arg(category->isHidden());
        lines.sort();
        return lines;
    }

private:
    SyncImporter &m_importer()
    {
        if (!m_importerInstance) {
            m_importerInstance = std::make_unique<SyncImporter>(*m_journal, m_folder, m_key);
            m_importerInstance->setClock([this] { return now; });
        }
        return *m_importerInstance;
    }

    QTemporaryDir m_dir;
    SyncFolder m_folder;
    SyncKey m_key;
    std::unique_ptr<SyncJournal> m_journal;
    std::unique_ptr<SyncImporter> m_importerInstance;

public:
    std::unique_ptr<CoreDataStack> stack;
};

// Copies the files of one folder's device folders into another's, as a file-sync service does.
class Replicator {
public:
    Replicator(QString from, QString to) : m_from(std::move(from)), m_to(std::move(to)) {}

    // Every file (again), or only those of one device.
    void copyAll(const QString &onlyDevice = {}) const
    {
        for (const QString &device : QDir(m_from + QStringLiteral("/devices")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (onlyDevice.isEmpty() || device == onlyDevice)
                for (const QString &name : QDir(m_from + QStringLiteral("/devices/") + device).entryList(QDir::Files))
                    copy(device, name);
    }
    void copy(const QString &device, const QString &name, qsizetype truncateTo = -1, const QString &asName = {}) const
    {
        QFile source(m_from + QStringLiteral("/devices/") + device + QLatin1Char('/') + name);
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        QByteArray bytes = source.readAll();
        if (truncateTo >= 0)
            bytes.truncate(truncateTo);
        QDir().mkpath(m_to + QStringLiteral("/devices/") + device);
        QFile target(m_to + QStringLiteral("/devices/") + device + QLatin1Char('/') + (asName.isEmpty() ? name : asName));
        ASSERT_TRUE(target.open(QIODevice::WriteOnly | QIODevice::Truncate));
        target.write(bytes);
    }

private:
    QString m_from;
    QString m_to;
};

// Counts, while it lives, the log lines of information and above from functions whose names start
// with a prefix (a class's).
class LogCounter {
public:
    explicit LogCounter(const char *prefix)
    {
        Log::setObserver([this, prefix](LogLevel level, const QString &, const char *, const char *function, int) {
            if (level >= LogLevel::Info && function && std::string_view(function).starts_with(prefix))
                ++m_count;
        });
    }
    ~LogCounter() { Log::setObserver({}); }
    int count() const { return m_count; }

private:
    std::atomic<int> m_count = 0;
};

// Two stores, each with its own folder carrying the same marker (as a sync service would have
// copied it); a Replicator carries files between the folders.
class TwoPeerSyncTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        prepareFolder(folderA());
        QDir().mkpath(folderB());
        QFile::copy(folderA() + QLatin1Char('/') + SyncFolder::kMarkerName, folderB() + QLatin1Char('/') + SyncFolder::kMarkerName);
        a = std::make_unique<SyncPeer>(folderA());
        b = std::make_unique<SyncPeer>(folderB());
    }
    QString folderA() const { return m_root.path() + QStringLiteral("/a"); }
    QString folderB() const { return m_root.path() + QStringLiteral("/b"); }

    QTemporaryDir m_root;
    std::unique_ptr<SyncPeer> a;
    std::unique_ptr<SyncPeer> b;
};
