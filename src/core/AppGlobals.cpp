#include "core/AppGlobals.h"

#include "platform/DeviceInfo.h"

#include <QGuiApplication>

namespace {
const QString kFallbackBundleIdentifier = QStringLiteral("tavipaste");
}

namespace AppValues {

AutoCache<QString> &firstVersion()
{
    static AutoCache<QString> value(QStringLiteral("1stVersion"), QString());
    return value;
}

AutoCache<QString> &lastVersion()
{
    static AutoCache<QString> value(QStringLiteral("lastVersion"), QString());
    return value;
}

AutoCache<int> &launchTime()
{
    static AutoCache<int> value(QStringLiteral("launchTime"), 1);
    return value;
}

AutoCache<bool> &alreadyShowTutorial()
{
    static AutoCache<bool> value(QStringLiteral("alreadyShowTutorial"), false);
    return value;
}

AutoCache<bool> &isIRM()
{
    static AutoCache<bool> value(QStringLiteral("isIRM"), false);
    return value;
}

AutoCache<QString> &serviceBaseURL()
{
    static AutoCache<QString> value(QStringLiteral("serviceBaseURL"), QString());
    return value;
}

} // namespace AppValues

std::optional<QString> appBundleIdentifier()
{
    const QString desktopId = QGuiApplication::desktopFileName();
    return desktopId.isEmpty() ? kFallbackBundleIdentifier : desktopId;
}

QString appVersion()
{
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("1.0") : version;
}

std::optional<QString> appName()
{
    const QString name = QGuiApplication::applicationDisplayName();
    if (name.isEmpty())
        return std::nullopt;
    return name;
}

std::optional<QString> platformUUID()
{
    return DeviceInfo::platformUUID();
}
