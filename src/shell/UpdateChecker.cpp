#include "shell/UpdateChecker.h"

#include "core/Alert.h"
#include "core/AppGlobals.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DispatchQueue.h"
#include "platform/Log.h"
#include "platform/Strings.h"
#include "platform/Workspace.h"
#include "shell/MakerService.h"
#include "shell/VersionString.h"

#include <QJsonObject>

namespace {
const char *const kFunction = "UpdateChecker";
const QString kDownloadPath = QStringLiteral("/homePageServiceResource/download/tavipaste_amd64.deb");

// The result of a usable answer; nothing when the answer is not what the service sends.
std::optional<std::pair<bool, std::optional<QString>>> resultOf(const QJsonDocument &json, QString *problem)
{
    if (!json.isObject()) {
        *problem = QStringLiteral("empty data");
        return std::nullopt;
    }
    const QJsonObject object = json.object();
    const QJsonValue code = object.value(QStringLiteral("code"));
    if (!code.isDouble() || code.toDouble() != double(code.toInteger())) {
        *problem = QStringLiteral("the answer has no integer \"code\"");
        return std::nullopt;
    }
    if (code.toInteger() != 0)
        return std::pair{false, std::optional<QString>(L("CheckUpdate.Msg.AlreadyLatest"))};
    const QJsonValue version = object.value(QStringLiteral("data")).toObject().value(QStringLiteral("lastest_version"));
    if (!version.isString())
        return std::pair{true, std::optional<QString>()};
    if (!VersionString::isValid(version.toString())) {
        *problem = QStringLiteral("the newest version is not a version number");
        return std::nullopt;
    }
    return std::pair{true, std::optional<QString>(version.toString())};
}
} // namespace

UpdateChecker &UpdateChecker::shared()
{
    static UpdateChecker checker;
    return checker;
}

void UpdateChecker::checkUpdate(Completion completion)
{
    if (!MakerService::isConfigured()) {
        // Nothing is sent, so nothing is said about the network.
        LOG_DEBUG(kFunction, QStringLiteral("No update check: no service address is configured"));
        MainQueue::async([completion] { completion(false, L("CheckUpdate.Msg.NoService")); });
        return;
    }
    const MakerService::Parameters parameters{{QStringLiteral("appid"), appId()},
                                              {QStringLiteral("version"), appVersion()}};
    MakerService::get(kPath, parameters, [completion](const std::optional<QJsonDocument> &json, const QString &error) {
        QString problem = error;
        std::optional<std::pair<bool, std::optional<QString>>> result;
        if (json)
            result = resultOf(*json, &problem);
        if (!result) {
            LOG_INFO(kFunction, QStringLiteral("Failed to check update: ") + problem);
            completion(false, L("CheckUpdate.Msg.NetworkError"));
            return;
        }
        completion(result->first, result->second);
    });
}

void UpdateChecker::showNewVersionAlert(bool hasUpdate, const std::optional<QString> &version)
{
    if (!hasUpdate || !version || ignoredVersion() == version)
        return;
    showAlert(*version + QStringLiteral(": ") + L("CheckUpdate.Msg.NewVersion"), L("CheckUpdate.Msg.NewVersionDetail"),
              L("CheckUpdate.Btn.OK"), L("CheckUpdate.Msg.IgnoreCurrent"), nullptr, AlertStyle::informational,
              [version = *version](ModalResponse response) {
                  if (response == ModalResponse::alertFirstButtonReturn) {
                      Analytics::trackEvent(QStringLiteral("Upgrade_Action"),
                                            {{QStringLiteral("action"), QStringLiteral("upgrade")}});
                      openDownloadPage();
                  } else {
                      Analytics::trackEvent(QStringLiteral("Upgrade_Action"),
                                            {{QStringLiteral("action"), QStringLiteral("ignore")}});
                      storeIgnoredVersion(version);
                  }
              });
}

std::optional<QString> UpdateChecker::ignoredVersion() { return TaviSettings::shared().ignoredVersion(); }

void UpdateChecker::storeIgnoredVersion(const QString &version) { TaviSettings::shared().setIgnoredVersion(version); }

QUrl UpdateChecker::downloadPageURL() { return MakerService::address(kDownloadPath); }

void UpdateChecker::openDownloadPage()
{
    const QUrl url = downloadPageURL();
    if (url.isEmpty()) {
        LOG_INFO(kFunction, QStringLiteral("No download page: no service address is configured"));
        return;
    }
    Workspace::shared().openUrl(url);
}
