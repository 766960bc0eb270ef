#pragma once
// The kinds of category: the built-in ones with their fixed ids, names and colours, and `custom`
// for the categories the user makes. Any thread.

#include <QColor>
#include <QList>
#include <QString>

#include <optional>

enum class PBDefaultCategory { unknown, custom, all, text, link, image, file, note, other, email };

namespace PBDefaultCategories {
// All ten kinds, in declaration order.
const QList<PBDefaultCategory> &allCases();
} // namespace PBDefaultCategories

// The kind's raw value, its case name ("unknown" ... "email").
QString rawValue(PBDefaultCategory kind);
// The kind of a raw value; nothing for any other string.
std::optional<PBDefaultCategory> categoryKind(const QString &rawValue);

// The fixed id of the kind's built-in category ("0" to "7"; "-1" unknown, "100" custom).
QString categoryId(PBDefaultCategory kind);
QString localizedName(PBDefaultCategory kind);
QString defaultBackgroundColorName(PBDefaultCategory kind);
QString defaultForegroundColorName(PBDefaultCategory kind);
QColor defaultBackgroundColor(PBDefaultCategory kind);
QColor defaultForegroundColor(PBDefaultCategory kind);

// Whether the kind says what an item holds (every kind but custom and all).
bool isContentKind(PBDefaultCategory kind);
