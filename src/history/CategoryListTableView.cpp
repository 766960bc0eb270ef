#include "history/CategoryListTableView.h"

#include "history/PasteItemCellView.h"
#include "history/SimplePasteItemCellView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>

CategoryListTableView::CategoryListTableView(QWidget *parent) : QListView(parent)
{
    setObjectName(QStringLiteral("itemsTableView"));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFrameShape(QFrame::NoFrame);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    verticalScrollBar()->setSingleStep(24);
}

void CategoryListTableView::setLiteMode(bool lite)
{
    m_lite = lite;
    scheduleDelayedItemsLayout();
}

void CategoryListTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    // Rows have one height, so new data never moves them: the list view's own handling would lay
    // out every row again (a million of them) for each page read in.
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

int CategoryListTableView::rowHeight() const
{
    return m_lite ? SimplePasteItemCellView::kRowHeight : PasteItemCellView::kRowHeight;
}

QList<int> CategoryListTableView::selectedRows() const
{
    QList<int> rows;
    if (!selectionModel())
        return rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void CategoryListTableView::selectRowAlone(int row)
{
    if (!model() || row < 0 || row >= model()->rowCount())
        return;
    const QModelIndex index = model()->index(row, 0);
    scrollTo(index);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void CategoryListTableView::keyPressEvent(QKeyEvent *event)
{
    // The table never acts on keys (no arrow navigation, no type-to-select): the list's key
    // monitor does.
    event->ignore();
}

void CategoryListTableView::mousePressEvent(QMouseEvent *event)
{
    Q_EMIT pressed();
    const QModelIndex index = indexAt(event->position().toPoint());
    m_clickedRow = index.isValid() ? index.row() : -1;
    if (index.isValid() && hoveredRow() == index.row() && event->button() == Qt::LeftButton
        && PasteItemCellView::deleteButtonRect(visualRect(index)).contains(event->position().toPoint())) {
        Q_EMIT deleteClicked(index.row());
        event->accept();
        return;
    }
    QListView::mousePressEvent(event);
}

void CategoryListTableView::mouseMoveEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    const int row = index.isValid() ? index.row() : -1;
    if (row != m_hoveredRow)
        m_deleteHidden = false;
    setHoveredRow(row);
    QListView::mouseMoveEvent(event);
}

void CategoryListTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    m_clickedRow = index.isValid() ? index.row() : -1;
    if (index.isValid())
        Q_EMIT rowDoubleClicked(index.row());
}

void CategoryListTableView::leaveEvent(QEvent *event)
{
    setHoveredRow(-1);
    QListView::leaveEvent(event);
}

void CategoryListTableView::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() != 0 && m_hoveredRow >= 0) {
        m_deleteHidden = true;
        viewport()->update();
    }
    QListView::wheelEvent(event);
}

void CategoryListTableView::contextMenuEvent(QContextMenuEvent *event)
{
    const QModelIndex index = indexAt(event->pos());
    m_clickedRow = index.isValid() ? index.row() : -1;
    Q_EMIT menuRequested(m_clickedRow, event->globalPos());
}

void CategoryListTableView::startDrag(Qt::DropActions)
{
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty())
        Q_EMIT dragRequested(rows);
}

void CategoryListTableView::setHoveredRow(int row)
{
    if (row == m_hoveredRow)
        return;
    const int old = m_hoveredRow;
    m_hoveredRow = row;
    if (!model())
        return;
    for (const int changed : {old, row}) {
        if (changed >= 0 && changed < model()->rowCount())
            viewport()->update(visualRect(model()->index(changed, 0)));
    }
}
