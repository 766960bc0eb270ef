#include "history/PasteItemDelegate.h"

#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/PasteItemRowView.h"
#include "history/SimplePasteItemCellView.h"

#include <QPainter>

PasteItemDelegate::PasteItemDelegate(CategoryListTableView *table) : QStyledItemDelegate(table), m_table(table) {}

void PasteItemDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QVariant value = index.data(CategoryListModel::ItemRole);
    if (!value.canConvert<PBItem>()) {
        PasteItemRowView::paint(*painter, option.rect, selected);
        return;
    }
    const PBItem item = value.value<PBItem>();
    const bool lite = m_table->isLiteMode();
    PasteItemRow *row = m_rows.object(item.uuid());
    if (!row) {
        const QVariant rich = index.data(CategoryListModel::RichTitleRole);
        const RichTitle title = rich.value<RichTitle>();
        row = new PasteItemRow(PasteItemRow::describe(item, lite, rich.isValid() ? &title : nullptr));
        m_rows.insert(item.uuid(), row);
    }
    const RowPaintState state{selected, m_table->hoveredRow() == index.row()};
    if (lite)
        SimplePasteItemCellView::paint(*painter, option.rect, *row, state);
    else
        PasteItemCellView::paint(*painter, option.rect, *row, state);
}

QSize PasteItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return QSize(option.rect.width(), m_table->rowHeight());
}
