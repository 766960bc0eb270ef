#pragma once
// The one owner of the history store: its container (rebuilt when mirroring is switched) and the
// main context that every read and write goes through, which stays the same for the life of the
// process. Mirroring follows "enableCloudSync" of the cloud key-value store at each rebuild;
// quota and rate-limit errors of the mirror switch it off. Any thread; the work of a rebuild and
// of the cloud callbacks runs under the main context's lock.

#include "core/store/ManagedObjectContext.h"
#include "core/store/PersistentContainer.h"
#include "platform/CloudMirror.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>

class CoreDataStack : public QObject {
    Q_OBJECT
public:
    static inline const QString kContainerIdentifier = QStringLiteral("TaviPaste.PBHistory");
    static inline const QString kModelName = QStringLiteral("PBHistory");

    // Made on first use and never destroyed: it is shut down explicitly before the program ends.
    static CoreDataStack &shared();
    // Drops the shared stack; the next shared() builds one on the current data folder (tests).
    static void resetShared();
    // Shuts the shared stack down, if one was made, and stops its store's threads (at quit, before
    // main returns).
    static void shutDownShared();

    // A stack on `storePath` (default: PBHistory.sqlite in the data folder); builds the container.
    explicit CoreDataStack(const QString &storePath = {});
    ~CoreDataStack();
    CoreDataStack(const CoreDataStack &) = delete;
    CoreDataStack &operator=(const CoreDataStack &) = delete;

    std::shared_ptr<ManagedObjectContext> managedContext() const { return m_managedContext; }
    // A second context on its own connection, made on first use.
    std::shared_ptr<ManagedObjectContext> backgroundContext();
    std::shared_ptr<PersistentContainer> storeContainer() const;

    // (Re)builds the container from the current "enableCloudSync"; nothing after shutDown().
    void setupContainer();
    // Stops the mirror for good and drops the subscription to mirror events. The store stays open
    // for the contexts that still use it. The destructor calls it.
    void shutDown();
    bool isMirroring() const;

    // The store's remote-change notification: records "lastSyncDate", takes the imported rows
    // into the main context and posts "remoteDataChanged" on the main queue.
    void storeRemoteChange(const CloudRemoteChanges &changes = {});
    // Reaction to one event of the mirror.
    void handleCloudKitEvent(const CloudMirrorEvent &event, const QVariantMap &userInfo);

    // The problem found when the store was first opened, if any (for the shell to show).
    std::optional<StoreProblem> storeProblem() const;

    QString storePath() const { return m_storePath; }

Q_SIGNALS:
    // A rebuild of the container could not use the store as it was found; the text to show the
    // user. On the thread of the rebuild, with no lock held.
    void storeProblemFound(const QString &message);

private:
    QString m_storePath;
    std::shared_ptr<ManagedObjectContext> m_managedContext;
    std::shared_ptr<ManagedObjectContext> m_backgroundContext;
    std::shared_ptr<PersistentContainer> m_storeContainer;
    std::optional<CloudMirrorEvents::Token> m_eventSubscription;
    std::optional<StoreProblem> m_storeProblem;
    bool m_mirroring = false;
    bool m_shutDown = false;
};
