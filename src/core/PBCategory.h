#pragma once
// A category of the history: a built-in kind ("0" to "7") or one the user made (a UUID id).
// A value: the category manager hands out new ones on every read, so compare categories by id
// (== compares nothing else). Any thread.

#include "core/PBDefaultCategory.h"

#include <QByteArray>
#include <QColor>
#include <QMetaType>
#include <QString>

#include <optional>

class PBCategoryRecord;

class PBCategory {
public:
    // Without an id a custom category gets a new UUID string, any other kind its fixed id.
    PBCategory(std::optional<QString> id, QString name, QColor backgroundColor, QColor foregroundColor,
               PBDefaultCategory type, bool isHidden, bool isLocked);
    // An unknown kind with no id; for containers and QVariant only.
    PBCategory() = default;

    // The shared All category, built once on first use.
    static const PBCategory &all();

    // The category a stored record describes; nothing without an id or with a type that names no
    // kind. A missing name or colour falls back to the kind's own.
    static std::optional<PBCategory> fromRecord(const PBCategoryRecord &record);

    const QString &id() const { return m_id; }
    PBDefaultCategory type() const { return m_type; }

    const QString &name() const { return m_name; }
    void setName(const QString &name) { m_name = name; }
    const QColor &backgroundColor() const { return m_backgroundColor; }
    void setBackgroundColor(const QColor &color) { m_backgroundColor = color; }
    const QColor &foregroundColor() const { return m_foregroundColor; }
    void setForegroundColor(const QColor &color) { m_foregroundColor = color; }
    bool isHidden() const { return m_isHidden; }
    void setHidden(bool hidden) { m_isHidden = hidden; }
    bool isLocked() const { return m_isLocked; }
    void setLocked(bool locked) { m_isLocked = locked; }

    // The archived form (what a dragged category carries): id, name, colours as "#RRGGBB", kind
    // and flags. Decoding yields nothing without a string id; other missing or bad entries fall
    // back to defaults.
    QByteArray encode() const;
    static std::optional<PBCategory> decode(const QByteArray &archive);

    // "name(id)", for diagnostics.
    QString description() const;

    friend bool operator==(const PBCategory &a, const PBCategory &b) { return a.m_id == b.m_id; }

private:
    QString m_id;
    PBDefaultCategory m_type = PBDefaultCategory::unknown;
    QString m_name;
    QColor m_backgroundColor;
    QColor m_foregroundColor;
    bool m_isHidden = false;
    bool m_isLocked = false;
};

Q_DECLARE_METATYPE(PBCategory)
