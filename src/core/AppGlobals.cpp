#include "core/AppGlobals.h"

#include "platform/DeviceInfo.h"

#include <QGuiApplication>

namespace {
const QString kFallbackBundleIdentifier = QStringLiteral("tavipaste");
}

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

std::optional<QString> platformUUID() { return DeviceInfo::platformUUID(); }
