#pragma once
// One build of the history store: the store description (options, cloud container), the loaded
// store connection and, while mirroring is on, the running mirror. Replaced by every rebuild;
// stopMirroring() ends the mirror of a container that is being replaced.

#include "core/store/PersistentStore.h"
#include "platform/CloudMirror.h"

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

struct PersistentStoreDescription {
    QString url;
    bool persistentHistoryTracking = false;
    bool manualVacuum = false;
    bool remoteChangeNotificationPost = false;
    std::optional<QString> cloudContainerIdentifier; // mirroring on when set
};

class PersistentContainer {
public:
    PersistentContainer(QString name, QString storePath);
    ~PersistentContainer();
    PersistentContainer(const PersistentContainer &) = delete;
    PersistentContainer &operator=(const PersistentContainer &) = delete;

    const QString &name() const { return m_name; }
    QList<PersistentStoreDescription> &persistentStoreDescriptions() { return m_descriptions; }

    // Opens the store of the first description (or adopts `existing`, a connection already open on
    // a store that has no file) and starts the mirror when it has a cloud container.
    using LoadCompletion = std::function<void(const PersistentStoreDescription &, const std::optional<StoreProblem> &)>;
    void loadPersistentStores(const LoadCompletion &completion, std::shared_ptr<PersistentStore> existing = nullptr);

    std::shared_ptr<PersistentStore> store() const { return m_store; }
    CloudMirror *mirror() const { return m_mirror.get(); }
    void setRemoteChangeHandler(CloudRemoteChangeHandler handler);
    void stopMirroring();

private:
    QString m_name;
    QList<PersistentStoreDescription> m_descriptions;
    std::shared_ptr<PersistentStore> m_store;
    std::unique_ptr<CloudMirror> m_mirror;
    CloudRemoteChangeHandler m_remoteChangeHandler;
};
