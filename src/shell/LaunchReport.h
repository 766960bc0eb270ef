#pragma once
// Install tracking and the one-time launch report to the maker's service. Main thread.

#include "shell/MakerService.h"

#include <QLocale>
#include <QString>

#include <functional>
#include <optional>

namespace LaunchReport {

// What the report says about this installation.
struct Facts {
    std::optional<QString> bundleIdentifier;
    std::optional<QString> appName;
    QString appVersion;
    QLocale locale;
    std::optional<QString> platformUUID;
    QString installationUUID; // standard defaults "UUID"
    QString osVersion;
};
Facts currentFacts();

// What the report sends for the machine: a keyed hash of its identifier, shaped like a UUID.
QString deviceIdentifier(const QString &machineIdentifier);

// The report's seven parameters, in their order.
MakerService::Parameters parameters(const Facts &facts);

// First launch: stores the running version as the first one and sends "New_Install"; later
// launches of a version other than the last one that ended normally send "Update_Install".
void reportInstallEvent();

// Sends the launch report once: until the service answers {"code": 0} it is tried at every
// launch. The completion (optional) learns whether the report was accepted; once it was, nothing
// is sent and the completion is not called.
void sendFirstInstallGAEvent(std::function<void(bool accepted)> completion = {});

} // namespace LaunchReport
