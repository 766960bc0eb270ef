#pragma once
// The named colours of the application's assets. Names are stored values: keep them as they are.

#include <QColor>
#include <QStringList>
#include <optional>

namespace ColorAssets {
std::optional<QColor> named(const QString &name);
QColor namedOr(const QString &name, const QColor &fallback);
QStringList names();
} // namespace ColorAssets
