#pragma once
// One running sync between the store and the sync folder, on a thread of its own: exports the
// logged changes a debounce after the store file changes (a burst of copies makes one segment),
// imports as soon as other devices' files arrive (watched, with a slow poll for folders on
// network mounts) in rounds of bounded size, each announced on its own, compacts its own files
// now and then, keeps the key-value store in step and reports each round as mirror events.
// Created and destroyed by FolderCloudMirror; its slots run on its own thread.

#include "core/sync/SyncExporter.h"
#include "core/sync/SyncImporter.h"
#include "core/sync/SyncKeyValues.h"
#include "core/sync/SyncSnapshots.h"
#include "platform/CloudMirror.h"

#include <QObject>
#include <QVariantMap>

#include <atomic>
#include <memory>

class QFileSystemWatcher;
class QTimer;

class SyncEngine : public QObject {
    Q_OBJECT
public:
    struct Setup {
        QString storePath;
        QString folder;
        SyncKey key;
        qint64 budget = 0;
        std::shared_ptr<std::atomic<bool>> alive; // false once stopped: nothing more is reported
        CloudRemoteChangeHandler remoteChange;
    };
    static constexpr int kExportDebounceMs = 1000;
    static constexpr int kImportDebounceMs = 150;
    static constexpr int kPollMs = 5000;

    explicit SyncEngine(Setup setup);
    ~SyncEngine() override;

public Q_SLOTS:
    void begin();
    // Stops watching; with `switchedOff`, also stops logging store changes.
    void finish(bool switchedOff);
    void localValuesChanged(const QStringList &keys);

private:
    void scheduleExport();
    void scheduleImport();
    void runExport();
    void runImport();
    void checkAccount();
    bool mayUseFolder() const;
    void watch();
    void report(CloudMirrorEvent::Type type, const std::optional<SyncFailure> &failure,
                const QVariantMap &partial = {});

    Setup m_setup;
    SyncFolder m_folder;
    std::unique_ptr<SyncJournal> m_journal;
    std::unique_ptr<SyncExporter> m_exporter;
    std::unique_ptr<SyncImporter> m_importer;
    std::unique_ptr<SyncKeyValues> m_values;
    std::unique_ptr<SyncSnapshots> m_snapshots;
    QFileSystemWatcher *m_watcher = nullptr;
    QTimer *m_exportTimer = nullptr;
    QTimer *m_importTimer = nullptr;
    QTimer *m_pollTimer = nullptr;
    bool m_valuesDirty = true;
    CloudAccountStatus m_lastStatus = CloudAccountStatus::CouldNotDetermine;
    QByteArray m_lastMarker;
};
