#include "controls/ClickedCollectionView.h"

#include <QContextMenuEvent>
#include <QMenu>

ClickedCollectionView::ClickedCollectionView(QWidget *parent) : QListView(parent)
{
    setViewMode(QListView::IconMode);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

QMenu *ClickedCollectionView::menu() const { return m_menu; }

void ClickedCollectionView::setMenu(QMenu *menu) { m_menu = menu; }

QMenu *ClickedCollectionView::menuForEvent(const QPoint &viewportPosition)
{
    m_clickedIndex.reset();
    const QAbstractItemModel *items = model();
    if (!items)
        return nullptr;
    const QModelIndex root = rootIndex();
    const int count = items->rowCount(root);
    for (int row = 0; row < count; ++row) {
        const QModelIndex index = items->index(row, modelColumn(), root);
        if (!isIndexHidden(index) && visualRect(index).contains(viewportPosition)) {
            m_clickedIndex = row;
            break;
        }
    }
    if (!m_clickedIndex || *m_clickedIndex < kFirstItemWithMenu)
        return nullptr;
    return m_menu;
}

void ClickedCollectionView::contextMenuEvent(QContextMenuEvent *event)
{
    if (QMenu *shown = menuForEvent(event->pos()))
        shown->popup(event->globalPos());
    // Over no item or a fixed one there is no menu at all, not even a parent's.
    event->accept();
}
