#pragma once
// Writes a context's pending changes into its store in one transaction: new rows (owners before
// the records they own), changed columns, to-many links and deleted rows. Payloads are bound
// without a copy; texts encoded ahead of the save are used as they are. Under the context's lock.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

#include <QList>

#include <string>
#include <unordered_map>
#include <utility>

class ManagedObjectContext;

class ChangeWriter {
public:
    // Texts of pending changes encoded for the store ahead of a save, by the text they encode.
    using EncodedTexts = std::unordered_map<const QChar *, std::pair<QString, std::string>>;
    // The large texts of the context's pending changes, encoded with its lock held only to find them.
    static EncodedTexts encodeLargeTexts(const ManagedObjectContext &context);

    ChangeWriter(ManagedObjectContext &context, EncodedTexts &texts);
    // All or nothing: on failure the new records have no row id again and the error is reported.
    // A broken search index never keeps the history from being saved: it is switched off (to be
    // built anew) and the write tried once more.
    bool write(const QList<ManagedObjectPtr> &inserts, const QList<ManagedObjectPtr> &updates,
               const QList<ManagedObjectPtr> &deletes, StoreError *error);

private:
    std::string encoded(const QString &text);
    void insertRow(ManagedObject &object);
    void updateRow(ManagedObject &object);
    void writeLinks(ManagedObject &object);

    ManagedObjectContext &m_context;
    EncodedTexts &m_texts;
};
