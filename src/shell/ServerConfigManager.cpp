#include "shell/ServerConfigManager.h"

#include "core/AppGlobals.h"
#include "core/NotificationNames.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"
#include "shell/MakerService.h"
#include "shell/VersionString.h"

#include <QJsonObject>
#include <QTimer>

namespace {
const char *const kFunction = "ServerConfigManager";
} // namespace

std::optional<ServerConfigure> ServerConfigure::decode(const QJsonDocument &document, QString *error)
{
    const auto failed = [error](const QString &reason) {
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (!document.isObject())
        return failed(QStringLiteral("The configuration is not a JSON object"));
    const QJsonValue version = document.object().value(QStringLiteral("version"));
    if (!version.isString())
        return failed(QStringLiteral("The configuration has no text \"version\""));
    if (!VersionString::isValid(version.toString()))
        return failed(QStringLiteral("The configuration's \"version\" is not a version number"));
    return ServerConfigure{version.toString()};
}

ServerConfigManager &ServerConfigManager::shared()
{
    // Lives as long as the process; its timer stops at shutdown.
    static auto *manager = new ServerConfigManager;
    return *manager;
}

void ServerConfigManager::fetchConfig(Completion completion)
{
    MakerService::get(kPath, {}, [this, completion](const std::optional<QJsonDocument> &json, const QString &error) {
        if (!json) {
            LOG_INFO(kFunction, QStringLiteral("[ServerConfigManager] Failed to load the configuration: ") + error);
            if (completion)
                completion(std::nullopt, error);
            return;
        }
        QString decodeError;
        const std::optional<ServerConfigure> configure = ServerConfigure::decode(*json, &decodeError);
        if (!configure) {
            LOG_WARNING(kFunction, QStringLiteral("[ServerConfigManager] Refused the configuration: ") + decodeError);
            if (completion)
                completion(std::nullopt, decodeError);
            return;
        }
        LOG_DEBUG(kFunction, QStringLiteral("[ServerConfigManager] Server response: version ") + configure->version);
        apply(*configure);
        if (completion)
            completion(configure, QString());
        NotificationCenter::defaultCenter().post(NotificationName::serverConfigDidUpdate, nullptr,
                                                 encodeUpdate(*configure));
    });
}

QVariantMap ServerConfigManager::encodeUpdate(const ServerConfigure &configure)
{
    return {{NotificationKey::serverConfig, QVariant::fromValue(configure)}};
}

std::optional<ServerConfigure> ServerConfigManager::decodeUpdate(const Notification &notification)
{
    const QVariant record = notification.userInfo.value(NotificationKey::serverConfig);
    if (record.metaType() != QMetaType::fromType<ServerConfigure>())
        return std::nullopt;
    return record.value<ServerConfigure>();
}

void ServerConfigManager::apply(const ServerConfigure &configure)
{
    m_configure = configure;
    TaviSettings::shared().setIsIRM(VersionString::compare(configure.version, appVersion()) < 0);
}

void ServerConfigManager::timerCallback() { fetchConfig(); }

void ServerConfigManager::start()
{
    if (!m_timer) {
        m_timer = new QTimer(this);
        m_timer->setTimerType(Qt::VeryCoarseTimer);
        connect(m_timer, &QTimer::timeout, this, &ServerConfigManager::timerCallback);
    }
    m_timer->start(int(timerInterval * 1000));
    timerCallback();
}

void ServerConfigManager::stop()
{
    if (m_timer)
        m_timer->stop();
}

bool ServerConfigManager::isTimerActive() const { return m_timer && m_timer->isActive(); }
