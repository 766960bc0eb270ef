#include "shell/LaunchReport.h"

#include "core/AppGlobals.h"
#include "core/TaviSettings.h"
#include "platform/Analytics.h"
#include "platform/DeviceInfo.h"
#include "platform/Log.h"

#include <QJsonObject>
#include <QMessageAuthenticationCode>
#include <QUuid>

namespace {
const QString kProductName = QStringLiteral("TaviPaste");
const QString kBundleIdentifier = QStringLiteral("tavipaste");
// Keys the device identifier: the machine's own identifier never leaves it, and another program
// hashing it gets a different value.
const QByteArray kDeviceIdentifierKey = QByteArrayLiteral("TaviPaste device identifier 1");
} // namespace

namespace LaunchReport {

Facts currentFacts()
{
    return {appBundleIdentifier(),
            appName(),
            appVersion(),
            QLocale(),
            platformUUID(),
            TaviSettings::shared().installationUUID(),
            DeviceInfo::osVersionString()};
}

QString deviceIdentifier(const QString &machineIdentifier)
{
    const QByteArray digest = QMessageAuthenticationCode::hash(machineIdentifier.trimmed().toUpper().toUtf8(),
                                                               kDeviceIdentifierKey, QCryptographicHash::Sha256);
    return QUuid::fromRfc4122(digest.left(16)).toString(QUuid::WithoutBraces).toUpper();
}

MakerService::Parameters parameters(const Facts &facts)
{
    const QLocale::Language language = facts.locale.language();
    const QString languageCode = language == QLocale::C || language == QLocale::AnyLanguage
                                     ? QStringLiteral("en")
                                     : QLocale::languageToCode(language);
    return {
        {QStringLiteral("sku"), facts.bundleIdentifier.value_or(kBundleIdentifier)},
        {QStringLiteral("appName"), facts.appName.value_or(kProductName)},
        {QStringLiteral("countryCode"), MakerService::regionCode(facts.locale)},
        {QStringLiteral("languageCode"), languageCode.isEmpty() ? QStringLiteral("en") : languageCode},
        {QStringLiteral("appVersion"), facts.appVersion},
        {QStringLiteral("deviceGuid"),
         facts.platformUUID ? deviceIdentifier(*facts.platformUUID) : facts.installationUUID},
        {QStringLiteral("osVersion"), facts.osVersion},
    };
}

void reportInstallEvent()
{
    const QString running = appVersion();
    TaviSettings &settings = TaviSettings::shared();
    if (settings.firstVersion().isEmpty()) {
        settings.setFirstVersion(running);
        Analytics::trackEvent(QStringLiteral("New_Install"));
        return;
    }
    if (settings.lastVersion() != running)
        Analytics::trackEvent(QStringLiteral("Update_Install"));
}

void sendFirstInstallGAEvent(std::function<void(bool accepted)> completion)
{
    if (TaviSettings::shared().hasSentFirstInstallEvent())
        return;
    MakerService::post(QStringLiteral("/api/app/launch"), parameters(currentFacts()),
                       [completion](const std::optional<QJsonDocument> &json, const QString &error) {
                           bool accepted = false;
                           if (!json) {
                               LOG_INFO("sendFirstInstallGAEvent()", QStringLiteral("Failed: ") + error);
                           } else {
                               const QJsonValue code = json->object().value(QStringLiteral("code"));
                               // A missing or non-integer code counts as a refusal.
                               accepted = json->isObject() && code.isDouble() && code.toDouble() == 0.0;
                               if (accepted) {
                                   LOG_INFO("sendFirstInstallGAEvent()", QStringLiteral("Succeeded"));
                                   TaviSettings::shared().setHasSentFirstInstallEvent(true);
                               } else {
                                   LOG_INFO("sendFirstInstallGAEvent()", QStringLiteral("Refused"));
                               }
                           }
                           if (completion)
                               completion(accepted);
                       });
}

} // namespace LaunchReport
