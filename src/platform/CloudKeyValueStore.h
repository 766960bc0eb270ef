#pragma once
// Stand-in for the cloud key-value store: a small typed store that follows the user between
// machines. Locally it is a Defaults file; a sync backend (set later) merges remote changes and
// calls applyExternalChange(), which posts kDidChangeExternally. Any thread.

#include "platform/Defaults.h"

#include <functional>

class CloudKeyValueStore {
public:
    // Posted with userInfo {kChangedKeys: QStringList, kChangeReason: ChangeReason as int}.
    static inline const QString kDidChangeExternally = QStringLiteral("CloudKeyValueStoreDidChangeExternally");
    static inline const QString kChangedKeys = QStringLiteral("changedKeys");
    static inline const QString kChangeReason = QStringLiteral("reason");
    enum ChangeReason { ServerChange = 0, InitialSyncChange = 1, QuotaViolationChange = 2, AccountChange = 3 };

    // Receives local writes so a sync backend can publish them.
    using Publisher = std::function<void(const QVariantMap &changed)>;

    // Made on first use and never destroyed; storage().flush() writes it at quit.
    static CloudKeyValueStore &shared();
    // Reopens the shared store on its file under the current XDG folders (tests).
    static void resetShared();

    explicit CloudKeyValueStore(QString filePath);

    QVariant value(const QString &key) const;
    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    bool synchronize(); // true: local values are on disk
    Defaults &storage() { return m_values; }

    void setPublisher(Publisher publisher);
    // Merges values that came from another machine and announces them.
    void applyExternalChange(const QVariantMap &values, ChangeReason reason);

private:
    Defaults m_values;
    mutable QMutex m_publisherMutex;
    Publisher m_publisher;
};
