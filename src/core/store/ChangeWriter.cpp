#include "core/store/ChangeWriter.h"

#include "core/store/ManagedObjectContext.h"
#include "core/store/RecordLoader.h"
#include "core/store/StoreStatements.h"

#include <SQLiteCpp/Transaction.h>

#include <mutex>
#include <stdexcept>

using namespace StoreStatements;

namespace {
quint64 bit(int index) { return quint64(1) << index; }
} // namespace

ChangeWriter::EncodedTexts ChangeWriter::encodeLargeTexts(const ManagedObjectContext &context)
{
    // Below this many characters encoding under the lock costs less than looking ahead.
    constexpr qsizetype kLargeText = 64 * 1024;
    QList<QString> large;
    {
        std::lock_guard lock(context.m_mutex);
        auto collect = [&](const ManagedObject &object) {
            const auto &attributes = object.entity().attributes;
            for (size_t i = 0; i < attributes.size() && i < object.m_values.size(); ++i) {
                const auto *text = std::get_if<QString>(&object.m_values[i]);
                if (text && (object.m_dirty & bit(int(i)) || object.m_state == ManagedObject::PendingInsert)
                    && text->size() >= kLargeText)
                    large.append(*text);
            }
        };
        for (const auto &object : std::as_const(context.m_inserted))
            collect(*object);
        for (const auto &entry : context.m_updated)
            collect(*entry.second);
    }
    // The copies share the texts' data, so no other text can take their address meanwhile.
    EncodedTexts texts;
    for (const QString &text : std::as_const(large))
        texts.emplace(text.constData(), std::pair(text, text.toStdString()));
    return texts;
}

std::string ChangeWriter::encoded(const QString &text)
{
    const auto found = m_texts.find(text.constData());
    if (found == m_texts.end() || found->second.first.size() != text.size())
        return text.toStdString();
    std::string result = std::move(found->second.second);
    m_texts.erase(found); // a text written twice is encoded again
    return result;
}

ChangeWriter::ChangeWriter(ManagedObjectContext &context, EncodedTexts &texts) : m_context(context), m_texts(texts) {}

bool ChangeWriter::write(const QList<ManagedObjectPtr> &inserts, const QList<ManagedObjectPtr> &updates,
                         const QList<ManagedObjectPtr> &deletes, StoreError *error)
{
    PersistentStore &store = *m_context.m_store;
    for (int attempt = 0;; ++attempt)
        try {
            SQLite::Transaction transaction(store.database(), SQLite::TransactionBehavior::IMMEDIATE);
            for (const auto &object : std::as_const(inserts))
                insertRow(*object);
            for (const auto &object : std::as_const(updates))
                updateRow(*object);
            for (const auto &object : std::as_const(inserts))
                writeLinks(*object);
            for (const auto &object : std::as_const(updates))
                writeLinks(*object);
            for (const auto &object : std::as_const(deletes)) {
                SQLite::Statement &statement = store.statement(sqlFor(object->entity()).deleteRow);
                statement.bind(1, int64_t(object->m_rowId));
                statement.exec();
                statement.reset();
            }
            m_context.commitSave(transaction, inserts.isEmpty() ? nullptr : inserts.first().get());
            break;
        } catch (const std::exception &failure) {
            for (const auto &object : std::as_const(inserts))
                object->m_rowId = 0;
            if (attempt == 0 && SearchIndex::isIndexFailure(failure)) {
                store.searchIndex().reportFailure(failure);
                continue;
            }
            report(error, storeError(failure));
            return false;
        }
    return true;
}

void ChangeWriter::insertRow(ManagedObject &object)
{
    const EntityDescription &entity = object.entity();
    SQLite::Statement &statement = m_context.m_store->statement(sqlFor(entity).insert);
    // Payloads are bound without another copy; the encoded texts live until the row is written.
    std::vector<std::string> texts;
    texts.reserve(entity.attributes.size());
    // The statement stays cached: it must not keep the payloads once the row is written.
    const BindingsReleased released(statement);
    int column = 1;
    for (size_t i = 0; i < entity.attributes.size(); ++i, ++column) {
        const StoreValue &value = object.m_values[i];
        if (const auto *text = std::get_if<QString>(&value)) {
            texts.push_back(encoded(*text));
            statement.bindNoCopy(column, texts.back());
        } else if (const auto *bytes = std::get_if<QByteArray>(&value)) {
            statement.bindNoCopy(column, static_cast<const void *>(bytes->constData()), int(bytes->size()));
        } else {
            bindValue(statement, column, value);
        }
    }
    if (!entity.ownerColumn.isEmpty()) {
        auto owner = object.m_links ? object.m_links->owner.lock() : nullptr;
        if (owner && m_context.isAlive(*owner) && owner->m_rowId > 0)
            statement.bind(column, int64_t(owner->m_rowId));
        else
            statement.bind(column);
    }
    statement.exec();
    statement.reset();
    object.m_rowId = m_context.m_store->database().getLastInsertRowid();
}

void ChangeWriter::updateRow(ManagedObject &object)
{
    const EntityDescription &entity = object.entity();
    QStringList columns;
    std::vector<StoreValue> values;
    for (size_t i = 0; i < entity.attributes.size(); ++i) {
        if (object.m_dirty & bit(int(i))) {
            columns << entity.attributes[i].column;
            values.push_back(object.m_values[i]);
        }
    }
    if (object.m_links && object.m_links->ownerDirty && !entity.ownerColumn.isEmpty()) {
        auto owner = object.m_links->owner.lock();
        columns << entity.ownerColumn;
        values.push_back(owner && m_context.isAlive(*owner) && owner->m_rowId > 0 ? StoreValue(owner->m_rowId)
                                                                                  : StoreValue());
    }
    if (columns.isEmpty())
        return;
    SQLite::Statement statement(m_context.m_store->database(), updateRowSql(entity.name, columns).toStdString());
    int column = 1;
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (const StoreValue &value : values) {
        if (const auto *text = std::get_if<QString>(&value)) {
            texts.push_back(encoded(*text));
            statement.bindNoCopy(column++, texts.back());
        } else {
            bindValue(statement, column++, value);
        }
    }
    statement.bind(column, int64_t(object.m_rowId));
    statement.exec();
}

void ChangeWriter::writeLinks(ManagedObject &object)
{
    if (!object.m_links)
        return;
    const EntityDescription &entity = object.entity();
    const bool inserted = object.m_state == ManagedObject::PendingInsert;
    for (size_t i = 0; i < entity.relationships.size(); ++i) {
        const RelationshipDescription &relationship = entity.relationships[i];
        const auto &state = object.m_links->relationships[i];
        if (relationship.kind != RelationshipDescription::Kind::ManyToMany || !(state.dirty || inserted))
            continue;
        // Links changed before the stored ones could be read: rewriting them now would drop the
        // stored ones, so the save waits until they can be read.
        if (!state.loaded) {
            if (!RecordLoader(m_context).loadRelationship(object, int(i)))
                throw std::runtime_error("the stored links of a changed record could not be read");
            object.m_links->relationships[i].loaded = true;
        }
        if (!inserted) {
            SQLite::Statement &clear =
                m_context.m_store->statement(QStringLiteral("DELETE FROM %1 WHERE %2 = ?")
                                                 .arg(quoted(relationship.linkTable), quoted(relationship.ownColumn)));
            clear.bind(1, int64_t(object.m_rowId));
            clear.exec();
            clear.reset();
        }
        for (const auto &member : state.objects) {
            if (!m_context.isAlive(*member) || member->m_rowId <= 0)
                continue;
            SQLite::Statement &link =
                m_context.m_store->statement(QStringLiteral("INSERT OR IGNORE INTO %1 (%2, %3) VALUES (?, ?)")
                                                 .arg(quoted(relationship.linkTable), quoted(relationship.ownColumn),
                                                      quoted(relationship.targetColumn)));
            link.bind(1, int64_t(object.m_rowId));
            link.bind(2, int64_t(member->m_rowId));
            link.exec();
            link.reset();
        }
    }
}
