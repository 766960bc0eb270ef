#include "shell/ShutdownSequence.h"

#include "capture/TaviPBManager.h"
#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "core/TPBookMarkCacher.h"
#include "core/TaviSettings.h"
#include "platform/CloudKeyValueStore.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "shell/LaunchAtLogin.h"
#include "shell/ShellSeams.h"

ShutdownSequence::ShutdownSequence(TaviPBManager &pbManager, TaviSettings &settings)
    : m_pbManager(pbManager),
      m_settings(settings)
{
}

void ShutdownSequence::run()
{
    auto &seams = ShellSeams::shared();
    if (seams.postDistributedNotification)
        seams.postDistributedNotification(NotificationName::killHelper, LaunchAtLogin::ownBundleIdentifier());
    TPBookMarkCacher::shared().stopAccessingResource();
    if (seams.stopRemoteConfiguration)
        seams.stopRemoteConfiguration();
    m_pbManager.stopMonitoring();
    if (seams.stopScreenMonitoring)
        seams.stopScreenMonitoring();
    m_settings.setLastVersion(appVersion());
    m_settings.setLaunchTime(m_settings.launchTime() + 1);
    // The GUI thread's settings changes are written by a worker, bookmarks by a queue of their
    // own: on disk before the end.
    m_settings.flush();
    TPBookMarkCacher::shared().waitUntilIdle();
    CloudKeyValueStore::shared().storage().flush();
    const bool saved = m_pbManager.saveNow();
    if (seams.stopStore)
        seams.stopStore();
    if (saved)
        LOG_INFO("applicationWillTerminate(_:)", QStringLiteral("History saved"));
    else
        tellUnsavedItems(m_pbManager.unsavedItemCount());
}

void ShutdownSequence::tellUnsavedItems(int count)
{
    LOG_ERROR("applicationWillTerminate(_:)",
              QStringLiteral("History not saved: %1 items could not be written").arg(count));
    if (count <= 0)
        return;
    const QString text = count == 1 ? L("Save.Problem.UnsavedOne") : L("Save.Problem.UnsavedMany").arg(count);
    showAlert(L("Save.Problem.title"), text, L("Store.Problem.OK"), std::nullopt, nullptr, AlertStyle::critical);
}
