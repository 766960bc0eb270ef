#pragma once
// The payload of a color-bar row drag: the row's index ("category.tableViewIndex", decimal text)
// and the category's archive ("category.type"). Reading checks every index against the rows of
// the bar. Any thread.

#include "core/PBCategory.h"

#include <QList>
#include <QString>

#include <optional>

class QMimeData;

class CategoryPasteboardWriter {
public:
    static inline const QString kIndexType = QStringLiteral("category.tableViewIndex");
    static inline const QString kCategoryType = QStringLiteral("category.type");

    CategoryPasteboardWriter(PBCategory category, int index) : m_category(std::move(category)), m_index(index) {}

    static QStringList writableTypes() { return {kIndexType, kCategoryType}; }
    // Nothing for types other than the two.
    std::optional<QByteArray> pasteboardPropertyList(const QString &type) const;
    // A new payload with both types; the caller owns it.
    QMimeData *mimeData() const;

    // The dragged rows of a payload: nothing unless it names at least one row, every index is a
    // distinct row of `rows`, and a carried category has the id of the row it names (a stale drag).
    static std::optional<QList<int>> draggedRows(const QMimeData *data, const QList<PBCategory> &rows);

private:
    PBCategory m_category;
    int m_index;
};

// The order after moving the dragged rows above `row`, the way the bar's table moves them one by one.
QList<PBCategory> reorderedCategories(QList<PBCategory> categories, const QList<int> &draggedRows, int row);
