#pragma once
// A history store in a temporary folder for store tests, with small record builders.

#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "core/store/SearchIndex.h"

#include <SQLiteCpp/Database.h>

#include <QDateTime>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { openStack(); }

    QString storePath() const { return m_dir.path() + QStringLiteral("/PBHistory.sqlite"); }
    void openStack() { stack = std::make_unique<CoreDataStack>(storePath()); }
    // Drops the stack and opens the file again, as a fresh launch would.
    void reopen()
    {
        context().reset();
        stack.reset();
        openStack();
    }
    std::shared_ptr<ManagedObjectContext> context() const { return stack->managedContext(); }

    // A connection of the test's own, as another program would open: it waits its turn while the
    // store's connections hold a write lock, and can change the schema (the search index's
    // tokenizer is registered on it).
    SQLite::Database rawDatabase() const
    {
        SQLite::Database database(storePath().toStdString(), SQLite::OPEN_READWRITE, 10000);
        SearchIndex::registerFunctions(database);
        return database;
    }
    int rowCount(const char *table) const
    {
        return rawDatabase().execAndGet(std::string("SELECT count(*) FROM \"") + table + "\"").getInt();
    }

    static QDateTime at(int seconds) { return QDateTime::fromSecsSinceEpoch(1700000000 + seconds, Qt::UTC); }

    std::shared_ptr<PBItemRecord> item(const QString &text, int modifiedSeconds = 0, bool sticky = false)
    {
        auto record = context()->insertNewObject<PBItemRecord>();
        record->setUuid(QUuid::createUuid());
        record->setText(text);
        record->setDataHash(QStringLiteral("hash-") + text);
        record->setCreatedAt(at(modifiedSeconds));
        record->setModifiedAt(at(modifiedSeconds));
        if (sticky)
            record->setIs_sticky(true);
        return record;
    }
    std::shared_ptr<PBCategoryRecord> category(const QString &id, qint64 index = 0)
    {
        auto record = context()->insertNewObject<PBCategoryRecord>();
        record->setId(id);
        record->setName(QStringLiteral("Category ") + id);
        record->setType(QStringLiteral("custom"));
        record->setIndex(index);
        return record;
    }
    std::shared_ptr<PBPasteboardDataRecord> pasteboard(const QString &type, const QByteArray &data)
    {
        auto record = context()->insertNewObject<PBPasteboardDataRecord>();
        record->setType(type);
        record->setData(data);
        return record;
    }
    QStringList texts(const std::optional<QList<std::shared_ptr<PBItemRecord>>> &records) const
    {
        QStringList result;
        for (const auto &record : records.value_or(QList<std::shared_ptr<PBItemRecord>>()))
            result << record->text();
        return result;
    }
    QStringList fetchTexts(const std::optional<Predicate> &predicate, const QList<SortDescriptor> &sort = {})
    {
        auto request = PBItemRecord::fetchRequest();
        request.predicate = predicate;
        request.sortDescriptors = sort;
        return texts(context()->fetch(request));
    }

    QTemporaryDir m_dir;
    std::unique_ptr<CoreDataStack> stack;
};
