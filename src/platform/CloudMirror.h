#pragma once
// The cloud mirror of the history store: a replication engine that copies store changes to and
// from the user's other machines. The store builds one per container while mirroring is on and
// stops it when the container is replaced. Mirror events (setup, import, export, with their
// errors) reach the store through CloudMirrorEvents, where tests also inject them.

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// Error codes of the cloud service that the store reacts to.
enum class CloudErrorCode : int {
    InternalError = 1,
    PartialFailure = 2,
    NetworkUnavailable = 3,
    NetworkFailure = 4,
    NotAuthenticated = 9,
    RequestRateLimited = 7,
    QuotaExceeded = 25,
};

struct CloudError {
    enum class Domain { Cloud, Store };
    Domain domain = Domain::Cloud;
    int code = 0;
    QString localizedDescription;
    // For a partial failure: the per-item errors under "partialErrorsByItemID".
    QVariantMap userInfo;

    bool isCloudError() const { return domain == Domain::Cloud; }
    // The code's name as the cloud service spells it ("quotaExceeded"), "code N" when unknown.
    QString codeName() const;
    QString description() const;
};

struct CloudMirrorEvent {
    enum class Type { Setup, Import, Export };
    Type type = Type::Setup;
    QUuid identifier = QUuid::createUuid();
    QDateTime startDate = QDateTime::currentDateTime();
    std::optional<QDateTime> endDate; // absent while the event runs
    bool succeeded = false;
    std::optional<CloudError> error;

    QString description() const;
};

// Rows of the store file that an import changed or deleted, by table.
struct CloudRemoteChanges {
    QHash<QString, QList<qint64>> changedRows;
    QHash<QString, QList<qint64>> deletedRows;
};
using CloudRemoteChangeHandler = std::function<void(const CloudRemoteChanges &changes)>;

// What a mirror is built for.
struct CloudMirrorOptions {
    QString storePath;
    QString containerIdentifier;
};

class CloudMirror {
public:
    virtual ~CloudMirror() = default;
    virtual void start() = 0;
    // After stop() the mirror reports no more events or remote changes.
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;
    // Called (any thread) when another machine's changes reached the local store.
    virtual void setRemoteChangeHandler(CloudRemoteChangeHandler handler) = 0;

    using Factory = std::function<std::unique_ptr<CloudMirror>(const CloudMirrorOptions &)>;
    // The engine used for new containers; the default one replicates nothing yet.
    static Factory factory();
    static void setFactory(Factory factory);
};

// Where mirror events are delivered; delivery is synchronous on the posting thread. Thread-safe.
class CloudMirrorEvents {
public:
    using Handler = std::function<void(const CloudMirrorEvent &event, const QVariantMap &userInfo)>;
    using Token = quint64;

    static CloudMirrorEvents &shared();

    Token subscribe(Handler handler);
    void unsubscribe(Token token);
    int subscriberCount() const;
    void post(const CloudMirrorEvent &event, const QVariantMap &userInfo = {});

private:
    mutable std::mutex m_mutex;
    std::vector<std::pair<Token, std::shared_ptr<Handler>>> m_handlers;
    Token m_next = 1;
};
