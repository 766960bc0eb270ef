#include "core/sync/SyncEngine.h"

#include "core/store/StoreFailure.h"
#include "core/sync/SyncSettings.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTimer>

SyncEngine::SyncEngine(Setup setup) : m_setup(std::move(setup)), m_folder(m_setup.folder) {}

SyncEngine::~SyncEngine() = default;

void SyncEngine::begin()
{
    CloudMirrorEvent setup;
    setup.type = CloudMirrorEvent::Type::Setup;
    QString error;
    m_journal = SyncJournal::open(m_setup.storePath, &error);
    if (!m_journal) {
        LOG_ERROR("SyncEngine::begin()", QStringLiteral("sync could not open the store: ") + error);
        report(CloudMirrorEvent::Type::Setup, SyncFailure{CloudErrorCode::InternalError, error});
        return;
    }
    try {
        if (m_journal->install())
            LOG_INFO("SyncEngine::begin()",
                     QStringLiteral("store changes logged for sync from now on; the whole store goes out once"));
    } catch (const std::exception &failure) {
        report(CloudMirrorEvent::Type::Setup, SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)});
        m_journal.reset();
        return;
    }
    m_exporter = std::make_unique<SyncExporter>(*m_journal, m_folder, m_setup.key);
    m_exporter->setBudget(m_setup.budget);
    m_importer = std::make_unique<SyncImporter>(*m_journal, m_folder, m_setup.key);
    m_values = std::make_unique<SyncKeyValues>(*m_journal, m_folder, m_setup.key);
    m_snapshots = std::make_unique<SyncSnapshots>(*m_journal, m_folder, m_setup.key);

    m_exportTimer = new QTimer(this);
    m_exportTimer->setSingleShot(true);
    m_exportTimer->setInterval(kExportDebounceMs);
    connect(m_exportTimer, &QTimer::timeout, this, &SyncEngine::runExport);
    m_importTimer = new QTimer(this);
    m_importTimer->setSingleShot(true);
    m_importTimer->setInterval(kImportDebounceMs);
    connect(m_importTimer, &QTimer::timeout, this, &SyncEngine::runImport);
    m_pollTimer = new QTimer(this);
    m_pollTimer->setInterval(kPollMs);
    connect(m_pollTimer, &QTimer::timeout, this, [this] {
        checkAccount();
        runExport();
        runImport();
    });
    m_watcher = new QFileSystemWatcher(this);
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, [this](const QString &path) {
        if (path.startsWith(m_setup.storePath))
            scheduleExport();
        watch();
    });
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, [this](const QString &path) {
        if (path.startsWith(m_folder.path()))
            scheduleImport();
        else
            scheduleExport();
        watch();
    });
    m_pollTimer->start();
    checkAccount();
    if (mayUseFolder())
        report(CloudMirrorEvent::Type::Setup, std::nullopt);
    watch();
    runExport();
    runImport();
}

void SyncEngine::finish(bool switchedOff)
{
    delete m_watcher;
    m_watcher = nullptr;
    delete m_exportTimer;
    delete m_importTimer;
    delete m_pollTimer;
    m_exportTimer = m_importTimer = m_pollTimer = nullptr;
    if (m_journal && switchedOff) {
        try {
            m_journal->uninstall();
        } catch (const std::exception &failure) {
            LOG_ERROR("SyncEngine::finish()",
                      QStringLiteral("sync logging could not be turned off: ") + storeFailureKind(failure));
        }
    }
    m_snapshots.reset();
    m_values.reset();
    m_importer.reset();
    m_exporter.reset();
    m_journal.reset();
}

void SyncEngine::watch()
{
    if (!m_watcher)
        return;
    QStringList paths{m_setup.storePath, m_setup.storePath + QStringLiteral("-wal"),
                      QFileInfo(m_setup.storePath).absolutePath(), m_folder.path(),
                      m_folder.path() + QStringLiteral("/devices")};
    if (m_journal) {
        const QString self = m_journal->deviceId();
        for (const QString &device : m_folder.devices())
            if (device != self)
                paths << m_folder.deviceDirectory(device);
    }
    QStringList missing;
    const QStringList watched = m_watcher->files() + m_watcher->directories();
    for (const QString &path : std::as_const(paths))
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing << path;
    if (!missing.isEmpty())
        m_watcher->addPaths(missing);
}

void SyncEngine::scheduleExport()
{
    if (m_exportTimer && !m_exportTimer->isActive())
        m_exportTimer->start(); // the first change of a burst starts the wait; the rest join it
}

void SyncEngine::scheduleImport()
{
    if (m_importTimer)
        m_importTimer->start();
}

void SyncEngine::localValuesChanged(const QStringList &keys)
{
    if (!m_values)
        return;
    try {
        m_values->recordLocal(keys, QDateTime::currentMSecsSinceEpoch());
    } catch (const std::exception &) {
    }
    m_valuesDirty = true;
    scheduleExport();
}

void SyncEngine::checkAccount()
{
    const SyncFolder::Status status = m_folder.status(&m_setup.key);
    const bool first = m_lastStatus == CloudAccountStatus::CouldNotDetermine;
    const bool changed = !first && (status.status != m_lastStatus || status.markerFingerprint != m_lastMarker);
    m_lastStatus = status.status;
    m_lastMarker = status.markerFingerprint;
    if (!changed && !(first && status.status != CloudAccountStatus::Available))
        return;
    LOG_INFO("SyncEngine::checkAccount()", QStringLiteral("sync folder account status %1").arg(int(status.status)));
    if (status.status == CloudAccountStatus::Restricted)
        report(CloudMirrorEvent::Type::Setup, SyncFailure{CloudErrorCode::NotAuthenticated, status.message});
    auto alive = m_setup.alive;
    MainQueue::async([alive] {
        if (alive->load())
            NotificationCenter::defaultCenter().post(CloudAccount::kAccountChangedNotification);
    });
}

bool SyncEngine::mayUseFolder() const
{
    // A folder whose marker our key does not open (another passphrase, a newer program) is
    // neither read nor written.
    return m_lastStatus != CloudAccountStatus::Restricted;
}

void SyncEngine::runExport()
{
    if (!m_exporter || !m_setup.alive->load() || !mayUseFolder())
        return;
    if (!QFileInfo(m_folder.path()).isDir()) {
        report(CloudMirrorEvent::Type::Export, m_folder.missingFolder());
        return;
    }
    SyncExporter::Result result = m_exporter->exportChanges();
    if (!result.failure && m_valuesDirty) {
        result.failure = m_values->exportValues(CloudKeyValueStore::shared().storage().snapshot());
        m_valuesDirty = bool(result.failure);
    }
    if (!result.failure)
        result.failure = m_snapshots->compact().failure;
    if (result.segments > 0 || result.failure)
        LOG_INFO("SyncEngine::runExport()",
                 QStringLiteral("exported %1 records in %2 segments").arg(result.records).arg(result.segments));
    QVariantMap partial;
    for (const QString &id : std::as_const(result.skipped))
        partial.insert(id, QStringLiteral("too large to sync"));
    if (result.failure || !partial.isEmpty() || result.segments > 0) {
        std::optional<SyncFailure> failure = result.failure;
        if (!failure && !partial.isEmpty())
            failure = SyncFailure{CloudErrorCode::PartialFailure,
                                  QStringLiteral("%1 items are too large to sync").arg(partial.size())};
        report(CloudMirrorEvent::Type::Export, failure, partial);
    }
}

void SyncEngine::runImport()
{
    if (!m_importer || !m_setup.alive->load() || !mayUseFolder())
        return;
    watch();
    SyncImporter::Result result = m_importer->importChanges();
    // Once the import has caught up: within a long one, the write-ahead log is copied when it
    // reaches its own limit, so pages that every round rewrites are copied once, not per round.
    if (result.records > 0 && !result.more) {
        try {
            m_journal->checkpoint();
        } catch (const std::exception &failure) {
            LOG_WARNING("SyncEngine::runImport()", QStringLiteral("checkpoint failed: ") + storeFailureKind(failure));
        }
    }
    if (result.more) // the next round once this one is announced and the queue has turned
        QMetaObject::invokeMethod(this, &SyncEngine::runImport, Qt::QueuedConnection);
    QVariantMap changedValues;
    if (!result.failure && !result.more) {
        try {
            changedValues = m_values->importValues(CloudKeyValueStore::shared().storage().snapshot());
        } catch (const std::exception &failure) {
            result.failure = SyncFailure{CloudErrorCode::InternalError, storeFailureKind(failure)};
        }
    }
    if (result.segments == 0 && !result.failure && changedValues.isEmpty())
        return;
    LOG_INFO("SyncEngine::runImport()", QStringLiteral("imported %1 records from %2 segments, %3 values")
                                            .arg(result.records)
                                            .arg(result.segments)
                                            .arg(changedValues.size()));
    auto alive = m_setup.alive;
    if (!changedValues.isEmpty()) {
        // One notice per key, on the main queue: a listener may rebuild the store and stop us.
        MainQueue::async([alive, changedValues] {
            if (!alive->load())
                return;
            for (auto it = changedValues.cbegin(); it != changedValues.cend(); ++it)
                CloudKeyValueStore::shared().applyExternalChange({{it.key(), it.value()}},
                                                                 CloudKeyValueStore::ServerChange);
        });
    }
    if (result.hasChanges() && m_setup.remoteChange) {
        CloudRemoteChanges changes{result.changedRows, result.deletedRows};
        MainQueue::async([alive, handler = m_setup.remoteChange, changes] {
            if (alive->load())
                handler(changes);
        });
    }
    std::optional<SyncFailure> failure = result.failure;
    if (!failure && !result.partialErrors.isEmpty())
        failure =
            SyncFailure{CloudErrorCode::PartialFailure,
                        QStringLiteral("%1 records from other devices were refused").arg(result.partialErrors.size())};
    report(CloudMirrorEvent::Type::Import, failure, result.partialErrors);
}

void SyncEngine::report(CloudMirrorEvent::Type type, const std::optional<SyncFailure> &failure,
                        const QVariantMap &partial)
{
    CloudMirrorEvent event;
    event.type = type;
    event.endDate = QDateTime::currentDateTime();
    event.succeeded = !failure;
    if (failure) {
        CloudError error = failure->toCloudError();
        if (!partial.isEmpty())
            error.userInfo.insert(QStringLiteral("CKPartialErrorsByItemIDKey"), partial);
        event.error = error;
        SyncSettings::setLastError(failure->message);
    } else {
        SyncSettings::setLastError({});
    }
    auto alive = m_setup.alive;
    MainQueue::async([alive, event] {
        if (alive->load())
            CloudMirrorEvents::shared().post(event);
    });
}
