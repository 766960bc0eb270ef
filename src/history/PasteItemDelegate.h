#pragma once
// Paints the rows of the history list from their descriptions, rich or compact as the table's
// mode says; a row whose item is not read yet is painted as an empty card. GUI thread.

#include "history/PasteItemRow.h"

#include <QCache>
#include <QStyledItemDelegate>

class CategoryListTableView;

class PasteItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit PasteItemDelegate(CategoryListTableView *table);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    // Descriptions are kept per item until the rows are read again or their rich titles arrive.
    void forgetRows() { m_rows.clear(); }

private:
    CategoryListTableView *m_table;
    mutable QCache<QUuid, PasteItemRow> m_rows{400};
};
