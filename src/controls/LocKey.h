#pragma once
// Localization keys on interface objects: setting a key replaces the object's visible text with
// the text the string tables hold for it (the key itself when they hold none). Nothing is kept:
// reading a key back always gives nothing. GUI thread.

#include <QString>

#include <optional>

class QAbstractItemModel;
class QObject;
class QTabWidget;

namespace LocKey {

// The dynamic property a scene may set on its objects before applyAll() localizes them.
inline constexpr const char *kPropertyName = "locKey";

// Labels and line edits (their text), buttons (title), actions (menu item title), menus,
// group boxes (box title) and other widgets (the window title of a view controller's view).
// An empty key gives an empty text. Other objects are left alone.
void set(QObject *object, const std::optional<QString> &key);
// The label of one tab.
void setTab(QTabWidget *tabs, int index, const std::optional<QString> &key);
// The title of one table column.
void setColumn(QAbstractItemModel *model, int column, const std::optional<QString> &key);

// Always absent: keys are not stored.
std::optional<QString> get(const QObject *object);

// Localizes every object under root (root included) that carries the "locKey" property, then
// removes the property.
void applyAll(QObject *root);

} // namespace LocKey
