#pragma once
// A context's fetches and counts: the store's answer for the stored rows, less the rows the
// context holds edited or deleted, merged with the unsaved records that match, in the request's
// order. Only the request's window is read from the store and made into records.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

#include <QList>

#include <optional>

class ManagedObjectContext;

class ContextFetcher {
public:
    explicit ContextFetcher(ManagedObjectContext &context);

    std::optional<QList<ManagedObjectPtr>> execute(const FetchRequestBase &request, StoreError *error);
    // With `onReader`, the stored rows are counted on one of the store's readers without the
    // context's lock, and counted again under it when the context changed meanwhile.
    std::optional<qsizetype> count(const FetchRequestBase &request, StoreError *error, bool onReader);
    bool validate(const FetchRequestBase &request, StoreError *error);

private:
    // Stored rows of the entity whose unsaved state (edited, deleted) replaces the stored one.
    QList<qint64> shadowedRows(const EntityDescription &entity) const;
    // Unsaved records of the entity (edited or new) that match the request's predicate.
    QList<ManagedObjectPtr> changedMatches(const FetchRequestBase &request);
    static bool lessThan(ManagedObject &a, ManagedObject &b, const QList<int> &keys, const QList<bool> &ascending);

    ManagedObjectContext &m_context;
};
