#include "shell/LaunchAtLogin.h"

#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/TaviSettings.h"
#include "platform/DispatchQueue.h"
#include "platform/DistributedNotificationCenter.h"
#include "platform/LoginHelper.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

QString helperIdentifier()
{
    return appBundleIdentifier().value_or(LoginHelper::kMainIdentifier) + QStringLiteral("-helper");
}

} // namespace

namespace LaunchAtLogin {

// The helper lives where the install rules put it relative to this program; in a build tree it
// sits next to it.
QString helperExecutablePath()
{
    const QDir own(QCoreApplication::applicationDirPath());
    for (const QString &relative : {QStringLiteral(TAVI_HELPER_FROM_PROGRAM), QStringLiteral("TaviPasteHelper")}) {
        const QFileInfo candidate(own.filePath(relative));
        if (candidate.isFile() && candidate.isExecutable())
            return candidate.canonicalFilePath();
    }
    return {};
}

LoginItem::Result setEnabled(bool enabled)
{
    LoginItem::Result result;
    if (enabled) {
        const QString helper = helperExecutablePath();
        if (helper.isEmpty())
            result = {false, L("AutoLaunch.Failed.NoHelper")};
        else
            result = LoginItem::setEnabled(helperIdentifier(), true, {helper},
                                           appName().value_or(QStringLiteral("TaviPaste")));
    } else {
        result = LoginItem::setEnabled(helperIdentifier(), false);
    }
    if (result.matches) {
        TaviSettings::shared().setIsAutoLaunch(enabled);
        LOG_INFO("setLaunchAtLogin(_:)", QStringLiteral("succeed to handle launch operation"));
    } else {
        LOG_ERROR("setLaunchAtLogin(_:)", QStringLiteral("failed to handle launch operation: %1").arg(result.error));
    }
    return result;
}

void check()
{
    TaviSettings &settings = TaviSettings::shared();
    if (!settings.isAutoLaunch())
        return;
    const QString identifier = helperIdentifier();
    if (!LoginItem::isEnabled(identifier)) {
        settings.setIsAutoLaunch(false);
        LOG_INFO("checkLaunchAtLogin()", QStringLiteral("Launch at login was turned off outside TaviPaste"));
        return;
    }
    if (LoginItem::canStart(identifier))
        return;
    LOG_WARNING("checkLaunchAtLogin()", QStringLiteral("The login entry's program is gone; writing the entry again"));
    if (!helperExecutablePath().isEmpty() && setEnabled(true).matches)
        return;
    // Nothing to start at login: an entry that fails at each login helps no one.
    setEnabled(false);
    settings.setIsAutoLaunch(false);
    MainQueue::async([] {
        showAlert(L("AutoLaunch.Lost.title"), L("AutoLaunch.Lost.NoHelper"), L("AutoLaunch.Failed.OK"), std::nullopt,
                  nullptr, AlertStyle::warning);
    });
}

bool isHelperRunning()
{
    const QString identifier = helperIdentifier();
    const QList<RunningApplication> running = Workspace::shared().runningApplications();
    if (std::any_of(running.begin(), running.end(),
                    [&](const RunningApplication &app) { return app.bundleIdentifier == identifier; }))
        return true;
    // The helper has no window: it is seen by its name on the session bus.
    return DistributedNotificationCenter::defaultCenter().isNameOwned(LoginHelper::kHelperBusName);
}

QString ownBundleIdentifier() { return appBundleIdentifier().value_or(Workspace::shared().ownBundleIdentifier()); }

} // namespace LaunchAtLogin
