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
#include "support/TestEnvironment.h"
#include "platform/Defaults.h"
#include "platform/Log.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string_view>

// A folder key made once with the cheapest derivation.
inline const SyncKey &testKey()
{
    static const SyncKey key = *SyncKey::derive(QStringLiteral("correct horse"), QByteArray(SyncKey::kSaltSize, 'x'),
                                                SyncKey::Cost::minimal());
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
    explicit SyncPeer(const QString &folder)
        : m_folder(folder),
          stack(std::make_unique<CoreDataStack>(m_dir.path() + QStringLiteral("/PBHistory.sqlite")))
    {
        m_journal = SyncJournal::open(stack->storePath());
        m_journal->install();
        m_key = keyFor(folder);
    }
    static SyncKey keyFor(const QString &folder)
    {
        return *SyncFolder(folder).join(QStringLiteral("correct horse"), SyncKey::Cost::minimal()).key;
    }

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
        for (int round = 0; round < 1000 && importChanges().more; ++round) {}
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
        for (const auto &item :
             context()->fetch(PBItemRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBItemRecord>>())) {
            QStringList categories;
            for (const auto &category : item->categories())
                categories << category->id();
            categories.sort();
            QStringList pasteboards;
            for (const auto &pasteboard : item->pasteboards())
                pasteboards
                    << pasteboard->type() + QLatin1Char('=')
                           + QString::fromLatin1(
                               pasteboard->data().size() <= 32
                                   ? pasteboard->data().toHex()
                                   : QCryptographicHash::hash(pasteboard->data(), QCryptographicHash::Md5).toHex());
            lines << QStringLiteral("item %1 text=%2 sticky=%3 comment=%4 in=%5 pb=%6")
                         .arg(item->uuid().toString(), item->text())
                         .arg(item->is_sticky())
                         .arg(item->comment(), categories.join(QLatin1Char(',')), pasteboards.join(QLatin1Char(',')));
        }
        for (const auto &category :
             context()->fetch(PBCategoryRecord::fetchRequest()).value_or(QList<std::shared_ptr<PBCategoryRecord>>()))
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

// Copies the files of one folder's device folders into another's, as a file-sync service does;
// also the way an unreliable one does: half-way, late and out of order, under a temporary name
// first, dropping a copy and delivering it again, carrying removals late.
class Replicator {
public:
    Replicator(QString from, QString to) : m_from(std::move(from)), m_to(std::move(to)) {}

    // Every file (again), or only those of one device.
    void copyAll(const QString &onlyDevice = {}) const
    {
        for (const QString &device :
             QDir(m_from + QStringLiteral("/devices")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (onlyDevice.isEmpty() || device == onlyDevice)
                for (const QString &name : QDir(m_from + QStringLiteral("/devices/") + device).entryList(QDir::Files))
                    copy(device, name);
    }
    void copy(const QString &device, const QString &name, qsizetype truncateTo = -1, const QString &asName = {}) const
    {
        QByteArray bytes = source(device, name);
        if (truncateTo >= 0)
            bytes.truncate(truncateTo);
        write(device, asName.isEmpty() ? name : asName, bytes);
    }
    // The copy written whole under a temporary name, then renamed into place.
    void copyThroughTemporary(const QString &device, const QString &name) const
    {
        copy(device, name, -1, temporaryName(name));
        ASSERT_EQ(::rename(QFile::encodeName(target(device, temporaryName(name))).constData(),
                           QFile::encodeName(target(device, name)).constData()),
                  0);
    }
    void drop(const QString &device, const QString &name) const { QFile::remove(target(device, name)); }

    // The device's files whose copy is missing or differs, and copies the source no longer has
    // (temporary ones aside).
    QStringList differing(const QString &device) const
    {
        QStringList names;
        for (const QString &name : QDir(m_from + QStringLiteral("/devices/") + device).entryList(QDir::Files)) {
            QFile copy(target(device, name));
            if (!copy.open(QIODevice::ReadOnly) || copy.readAll() != source(device, name))
                names << name;
        }
        return names;
    }
    QStringList removed(const QString &device) const
    {
        QStringList names;
        for (const QString &name : QDir(m_to + QStringLiteral("/devices/") + device).entryList(QDir::Files))
            if (!isTemporary(name)
                && !QFile::exists(m_from + QStringLiteral("/devices/") + device + QLatin1Char('/') + name))
                names << name;
        return names;
    }

    // One pass of an unreliable service over a device's files, in a random order: each file that
    // differs is delivered whole (in place or through a temporary name), half-way, only under its
    // temporary name, or not yet; a copy left half-way mostly stays so for a few passes; a copy
    // delivered earlier may be dropped, to come again on a later pass; removals come late.
    // Returns the faults it made.
    int deliverSome(const QString &device, QRandomGenerator &random) const
    {
        int faults = 0;
        QStringList names = differing(device);
        std::shuffle(names.begin(), names.end(), random);
        for (const QString &name : std::as_const(names)) {
            if (QFile::exists(target(device, name)) && random.bounded(4) > 0) {
                ++faults; // an interrupted copy, not resumed yet
                continue;
            }
            const int roll = int(random.bounded(10));
            if (roll < 4) {
                copy(device, name);
                continue;
            }
            if (roll < 6) {
                copyThroughTemporary(device, name);
                continue;
            }
            ++faults;
            if (roll < 8)
                copy(device, name,
                     qsizetype(random.bounded(std::max<quint32>(1, quint32(source(device, name).size())))));
            else if (roll < 9)
                copy(device, name, -1, temporaryName(name));
            // else: late, not this time
        }
        QStringList present = QDir(m_to + QStringLiteral("/devices/") + device).entryList(QDir::Files);
        if (!present.isEmpty() && random.bounded(8) == 0) {
            drop(device, present.at(int(random.bounded(int(present.size())))));
            ++faults;
        }
        if (random.bounded(3) == 0)
            for (const QString &name : removed(device))
                drop(device, name);
        return faults;
    }
    // The service catching up: every file whole, the removals done, no temporary names left.
    void settle(const QString &device) const
    {
        for (const QString &name : differing(device))
            copy(device, name);
        for (const QString &name : removed(device))
            drop(device, name);
        for (const QString &name :
             QDir(m_to + QStringLiteral("/devices/") + device).entryList(QDir::Files | QDir::Hidden))
            if (isTemporary(name))
                drop(device, name);
    }

private:
    static QString temporaryName(const QString &name) { return QStringLiteral(".") + name + QStringLiteral(".part"); }
    static bool isTemporary(const QString &name) { return name.endsWith(QLatin1String(".part")); }
    QString target(const QString &device, const QString &name) const
    {
        return m_to + QStringLiteral("/devices/") + device + QLatin1Char('/') + name;
    }
    QByteArray source(const QString &device, const QString &name) const
    {
        QFile file(m_from + QStringLiteral("/devices/") + device + QLatin1Char('/') + name);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        return file.readAll();
    }
    void write(const QString &device, const QString &name, const QByteArray &bytes) const
    {
        QDir().mkpath(m_to + QStringLiteral("/devices/") + device);
        QFile file(target(device, name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }

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
        QFile::copy(folderA() + QLatin1Char('/') + SyncFolder::kMarkerName,
                    folderB() + QLatin1Char('/') + SyncFolder::kMarkerName);
        a = std::make_unique<SyncPeer>(folderA());
        b = std::make_unique<SyncPeer>(folderB());
    }
    QString folderA() const { return m_root.path() + QStringLiteral("/a"); }
    QString folderB() const { return m_root.path() + QStringLiteral("/b"); }

    QTemporaryDir m_root;
    std::unique_ptr<SyncPeer> a;
    std::unique_ptr<SyncPeer> b;
};
