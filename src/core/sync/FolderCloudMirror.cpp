#include "core/sync/FolderCloudMirror.h"

#include "core/TaviSettings.h"
#include "core/sync/SyncEngine.h"
#include "core/sync/SyncFolder.h"
#include "core/sync/SyncSettings.h"
#include "platform/CloudKeyValueStore.h"

#include <QThread>

FolderCloudMirror::FolderCloudMirror(const CloudMirrorOptions &options) : m_options(options) {}

FolderCloudMirror::~FolderCloudMirror() { stop(); }

void FolderCloudMirror::start()
{
    if (m_thread)
        return;
    m_alive = std::make_shared<std::atomic<bool>>(true);
    SyncEngine::Setup setup{
        m_options.storePath, SyncSettings::folder(), SyncSettings::key(), SyncSettings::budget(), m_alive, m_handler};
    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("com.tavi.sync"));
    m_engine = new SyncEngine(std::move(setup));
    m_engine->moveToThread(m_thread);
    QObject::connect(m_thread, &QThread::started, m_engine, &SyncEngine::begin);
    m_thread->start();
    CloudKeyValueStore::shared().setPublisher([engine = m_engine, alive = m_alive](const QVariantMap &changed) {
        if (alive->load())
            QMetaObject::invokeMethod(engine, "localValuesChanged", Qt::QueuedConnection,
                                      Q_ARG(QStringList, changed.keys()));
    });
}

void FolderCloudMirror::stop()
{
    if (!m_thread)
        return;
    m_alive->store(false);
    CloudKeyValueStore::shared().setPublisher({});
    const bool switchedOff = !TaviSettings::shared().enableCloudSync();
    if (QThread::currentThread() == m_thread)
        m_engine->finish(switchedOff);
    else
        QMetaObject::invokeMethod(m_engine, "finish", Qt::BlockingQueuedConnection, Q_ARG(bool, switchedOff));
    m_thread->quit();
    if (QThread::currentThread() != m_thread) {
        m_thread->wait();
        delete m_engine;
        delete m_thread;
    } else {
        m_engine->deleteLater();
        QObject::connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
    }
    m_engine = nullptr;
    m_thread = nullptr;
}

bool FolderCloudMirror::isRunning() const { return m_thread != nullptr; }

void FolderCloudMirror::setRemoteChangeHandler(CloudRemoteChangeHandler handler) { m_handler = std::move(handler); }

void FolderCloudMirror::install()
{
    CloudMirror::setFactory(
        [](const CloudMirrorOptions &options) { return std::make_unique<FolderCloudMirror>(options); });
    CloudAccount::setDefaultAccount(std::make_shared<SyncFolderAccount>());
}

void SyncFolderAccount::accountStatus(StatusCompletion completion)
{
    const SyncKey key = SyncSettings::key();
    const SyncFolder::Status status = SyncFolder(SyncSettings::folder()).status(key.isValid() ? &key : nullptr);
    if (status.status == CloudAccountStatus::Available && !key.isValid()) {
        completion(CloudAccountStatus::NoAccount, QStringLiteral("no passphrase has been given for the sync folder"));
        return;
    }
    completion(status.status, status.message.isEmpty() ? std::nullopt : std::optional<QString>(status.message));
}
