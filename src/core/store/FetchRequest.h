#pragma once
// What to fetch: an entity, an optional predicate and sort descriptors. Records with equal sort
// keys follow the order in which they were inserted (unsaved ones after saved ones), in the
// direction of the last sort key (ascending without keys), in SQL and in memory alike.

#include "core/store/EntityDescription.h"
#include "core/store/Predicate.h"

#include <QList>
#include <QString>
#include <QVariantMap>

#include <optional>
#include <utility>

struct SortDescriptor {
    QString key;
    bool ascending = true;
};

// A (key, ascending) pair as the fetch manager's callers write sort keys.
using SortKey = std::pair<QString, bool>;

inline QList<SortDescriptor> sortDescriptors(const QList<SortKey> &keys)
{
    QList<SortDescriptor> descriptors;
    for (const SortKey &key : keys)
        descriptors.append({key.first, key.second});
    return descriptors;
}

// An error of the store, as the fetch manager prints it: description, then user info.
struct StoreError {
    // What the user can be told of a failure: the disk is full, the store cannot be written, it
    // cannot be read back (an I/O error, a damaged file), or anything else.
    enum class Kind { diskFull, readOnly, ioError, other };

    // The failure's message, for the user: it can quote stored values, so it is never logged.
    QString description;
    QVariantMap userInfo;
    // How a log line names the failure: storeFailureKind() of what was thrown.
    QString failureKind;

    // Read from the SQLite result code the error carries; other without one.
    Kind kind() const;

    // What a log line says of the failure: its kind, never its message.
    QString text() const { return failureKind; }
};

struct FetchRequestBase {
    explicit FetchRequestBase(const EntityDescription &entity) : entity(&entity) {}
    const EntityDescription *entity;
    std::optional<Predicate> predicate;
    QList<SortDescriptor> sortDescriptors;
    // A window of the ordered result: skip fetchOffset records, return at most fetchLimit (0: all).
    qsizetype fetchOffset = 0;
    qsizetype fetchLimit = 0;
    // Whether the records' values are read with them, in one statement; when not, each record
    // reads its own on first use (for records fetched only to be deleted or counted).
    bool includesPropertyValues = true;
};

template <class T>
struct FetchRequest : FetchRequestBase {
    FetchRequest() : FetchRequestBase(T::entityDescription()) {}
};
