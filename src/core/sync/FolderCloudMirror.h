#pragma once
// The mirror engine on a sync folder that a file-sync service replicates between the user's
// machines: runs a SyncEngine on its own thread from start() to stop(). Also the account whose
// status the folder gives. Any thread.

#include "core/sync/SyncCrypto.h"
#include "platform/CloudAccount.h"
#include "platform/CloudMirror.h"

#include <QString>

#include <atomic>
#include <memory>

class QThread;
class SyncEngine;

class FolderCloudMirror : public CloudMirror {
public:
    explicit FolderCloudMirror(const CloudMirrorOptions &options);
    ~FolderCloudMirror() override;

    void start() override;
    void stop() override;
    bool isRunning() const override;
    void setRemoteChangeHandler(CloudRemoteChangeHandler handler) override;

    // Makes this engine and the folder account the program's own (at start-up).
    static void install();

private:
    CloudMirrorOptions m_options;
    CloudRemoteChangeHandler m_handler;
    std::shared_ptr<std::atomic<bool>> m_alive;
    QThread *m_thread = nullptr;
    SyncEngine *m_engine = nullptr;
};

// The account as the sync folder gives it: available when the chosen folder has its marker, takes
// writes and opens with this machine's key.
class SyncFolderAccount : public CloudAccount {
public:
    void accountStatus(StatusCompletion completion) override;
};
