#pragma once
// The application a copy came from.

#include <QString>

#include <optional>

struct PBAppInfo {
    QString name;
    std::optional<QString> bundleId;
    std::optional<QString> bundlePath;
};
