#include "colorbar/CategoryPasteboardWriter.h"

#include <QMimeData>
#include <QSet>

std::optional<QByteArray> CategoryPasteboardWriter::pasteboardPropertyList(const QString &type) const
{
    if (type == kIndexType)
        return QByteArray::number(m_index);
    if (type == kCategoryType) {
        QByteArray archive = m_category.encode();
        if (archive.isEmpty())
            return std::nullopt;
        return archive;
    }
    return std::nullopt;
}

QMimeData *CategoryPasteboardWriter::mimeData() const
{
    auto *data = new QMimeData;
    for (const QString &type : writableTypes()) {
        if (const auto value = pasteboardPropertyList(type))
            data->setData(type, *value);
    }
    return data;
}

std::optional<QList<int>> CategoryPasteboardWriter::draggedRows(const QMimeData *data, const QList<PBCategory> &rows)
{
    if (!data || !data->hasFormat(kIndexType))
        return std::nullopt;
    // One item per drag here; several indexes come as whitespace-separated numbers.
    const QList<QByteArray> parts = data->data(kIndexType).simplified().split(' ');
    QList<int> indexes;
    QSet<int> seen;
    for (const QByteArray &part : parts) {
        bool ok = false;
        const int index = part.toInt(&ok);
        if (!ok || index < 0 || index >= rows.size() || seen.contains(index))
            return std::nullopt;
        seen.insert(index);
        indexes.append(index);
    }
    if (indexes.isEmpty())
        return std::nullopt;
    if (data->hasFormat(kCategoryType)) {
        const auto category = PBCategory::decode(data->data(kCategoryType));
        if (category && indexes.size() == 1 && rows.at(indexes.first()).id() != category->id())
            return std::nullopt;
    }
    return indexes;
}

QList<PBCategory> reorderedCategories(QList<PBCategory> categories, const QList<int> &draggedRows, int row)
{
    row = std::clamp(row, 0, int(categories.size()));
    int aboveShift = 0;
    int belowShift = 0;
    for (int index : draggedRows) {
        if (index < row) {
            const int from = index + aboveShift;
            if (from >= 0 && from < categories.size())
                categories.move(from, row - 1);
            --aboveShift;
        } else {
            const int to = std::min(row + belowShift, int(categories.size()) - 1);
            if (index < categories.size())
                categories.move(index, to);
            ++belowShift;
        }
    }
    return categories;
}
