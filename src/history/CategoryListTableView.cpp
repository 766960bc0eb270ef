#include "history/CategoryListTableView.h"

#include "history/CategoryListModel.h"
#include "history/PasteItemCellView.h"
#include "history/SimplePasteItemCellView.h"

#include <QContextMenuEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <limits>

CategoryListTableView::CategoryListTableView(QWidget *parent) : QListView(parent)
{
    setObjectName(QStringLiteral("itemsTableView"));
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

void CategoryListTableView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                                        const QList<int> &roles)
{
    // New data never moves a row: only what shows of the range is repainted.
    QAbstractItemView::dataChanged(topLeft, bottomRight, roles);
}

void CategoryListTableView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsInserted(parent, start, end);
    scheduleDelayedItemsLayout();
}

void CategoryListTableView::rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end)
{
    QAbstractItemView::rowsAboutToBeRemoved(parent, start, end);
    // Runs once the rows are gone.
    scheduleDelayedItemsLayout();
}

int CategoryListTableView::rows() const { return model() ? model()->rowCount(rootIndex()) : 0; }

std::pair<int, int> CategoryListTableView::rowsBetween(int top, int bottom) const
{
    const int height = rowHeight();
    const qint64 offset = verticalOffset();
    const qint64 first = std::max<qint64>(0, (offset + top) / height);
    const qint64 last = std::min<qint64>(qint64(rows()) - 1, (offset + bottom) / height);
    return {int(first), int(last)};
}

QRect CategoryListTableView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0)
        return {};
    const qint64 top = qint64(index.row()) * rowHeight() - verticalOffset();
    if (top < std::numeric_limits<int>::min() / 2 || top > std::numeric_limits<int>::max() / 2)
        return {};
    return QRect(0, int(top), viewport()->width(), rowHeight());
}

void CategoryListTableView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    QScrollBar *bar = verticalScrollBar();
    const qint64 top = qint64(index.row()) * rowHeight();
    const int height = rowHeight();
    const int visible = viewport()->height();
    qint64 value = bar->value();
    switch (hint) {
    case PositionAtTop: value = top; break;
    case PositionAtBottom: value = top + height - visible; break;
    case PositionAtCenter: value = top - (visible - height) / 2; break;
    case EnsureVisible:
        if (top < value)
            value = top;
        else if (top + height > value + visible)
            value = top + height - visible;
        break;
    }
    bar->setValue(int(std::clamp<qint64>(value, bar->minimum(), bar->maximum())));
}

QModelIndex CategoryListTableView::indexAt(const QPoint &point) const
{
    if (!model() || !viewport()->rect().contains(point))
        return {};
    const qint64 row = (qint64(point.y()) + verticalOffset()) / rowHeight();
    if (row < 0 || row >= rows())
        return {};
    return model()->index(int(row), 0, rootIndex());
}

void CategoryListTableView::doItemsLayout()
{
    // Nothing to place: rows are found by arithmetic.
    QAbstractItemView::doItemsLayout();
}

void CategoryListTableView::updateGeometries()
{
    QScrollBar *bar = verticalScrollBar();
    const qint64 content = qint64(rows()) * rowHeight();
    const int visible = viewport()->height();
    bar->setPageStep(visible);
    bar->setRange(0, int(std::clamp<qint64>(content - visible, 0, std::numeric_limits<int>::max())));
    horizontalScrollBar()->setRange(0, 0);
    QAbstractItemView::updateGeometries();
}

void CategoryListTableView::paintEvent(QPaintEvent *event)
{
    if (!model() || !itemDelegate())
        return;
    QPainter painter(viewport());
    if (rows() == 0) {
        paintEmptyText(painter);
        return;
    }
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex current = currentIndex();
    const QModelIndex hover = m_pointer ? indexAt(*m_pointer) : QModelIndex();
    QItemSelectionModel *selection = selectionModel();
    const QStyle::State base =
        option.state & ~(QStyle::State_Selected | QStyle::State_MouseOver | QStyle::State_HasFocus);
    const auto [first, last] = rowsBetween(event->rect().top(), event->rect().bottom());
    bool allRead = true;
    for (int row = first; row <= last; ++row) {
        const QModelIndex index = model()->index(row, 0, rootIndex());
        allRead = allRead && index.data(CategoryListModel::ItemRole).isValid();
        option.rect = visualRect(index);
        option.state = base;
        if (selection && selection->isSelected(index))
            option.state |= QStyle::State_Selected;
        if (index == hover)
            option.state |= QStyle::State_MouseOver;
        if (index == current && hasFocus())
            option.state |= QStyle::State_HasFocus;
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
    // Rows ahead are asked for only once the rows shown are in: their reads never delay these.
    if (allRead)
        prefetchAhead();
}

void CategoryListTableView::prefetchAhead()
{
    // Where the next scrolls land, in the direction of the last one and a stride of at least a
    // viewport. The model reads the page asked for last first: the nearest are asked for last.
    const qint64 visible = viewport()->height();
    const qint64 stride = m_lastScroll < 0 ? -std::max(-m_lastScroll, visible) : std::max(m_lastScroll, visible);
    const int height = rowHeight();
    const qint64 end = qint64(rows()) * height - 1;
    if (end < 0)
        return;
    QList<int> pages;
    for (int step = kPrefetchScrolls; step >= 1; --step) {
        const qint64 top = std::clamp<qint64>(verticalOffset() + step * stride, 0, end);
        const qint64 bottom = std::clamp<qint64>(top + visible, 0, end);
        for (int page = int(top / height) / CategoryListModel::kPageSize;
             page <= int(bottom / height) / CategoryListModel::kPageSize; ++page) {
            pages.removeAll(page);
            pages.append(page);
        }
    }
    for (const int page : pages.mid(std::max<qsizetype>(0, pages.size() - kPrefetchPages)))
        model()->index(page * CategoryListModel::kPageSize, 0, rootIndex()).data(CategoryListModel::ItemRole);
}

void CategoryListTableView::paintEmptyText(QPainter &painter)
{
    if (m_emptyText.isEmpty())
        return;
    QFont font = painter.font();
    font.setPixelSize(13);
    painter.setFont(font);
    QColor color = palette().color(QPalette::Text);
    color.setAlphaF(0.7);
    painter.setPen(color);
    const QRect box = viewport()->rect().adjusted(24, 32, -24, -24);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_emptyText);
}

void CategoryListTableView::setEmptyText(const QString &text)
{
    if (text == m_emptyText)
        return;
    m_emptyText = text;
    if (rows() == 0)
        viewport()->update();
}

void CategoryListTableView::resizeEvent(QResizeEvent *event) { QAbstractItemView::resizeEvent(event); }

void CategoryListTableView::scrollContentsBy(int dx, int dy)
{
    if (dy != 0)
        m_lastScroll = -qint64(dy);
    QAbstractItemView::scrollContentsBy(dx, dy);
}

int CategoryListTableView::horizontalOffset() const { return 0; }

int CategoryListTableView::verticalOffset() const { return verticalScrollBar()->value(); }

QModelIndex CategoryListTableView::moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers)
{
    const int count = rows();
    if (count == 0)
        return {};
    const int page = rowsPerPage();
    int row = currentIndex().isValid() ? currentIndex().row() : -1;
    switch (cursorAction) {
    case MoveUp:
    case MovePrevious: row = row < 0 ? 0 : row - 1; break;
    case MoveDown:
    case MoveNext: row += 1; break;
    case MovePageUp: row -= page; break;
    case MovePageDown: row += page; break;
    case MoveHome: row = 0; break;
    case MoveEnd: row = count - 1; break;
    default: break;
    }
    return model()->index(std::clamp(row, 0, count - 1), 0, rootIndex());
}

bool CategoryListTableView::isIndexHidden(const QModelIndex &) const { return false; }

void CategoryListTableView::setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command)
{
    if (!model() || !selectionModel())
        return;
    const QRect band = rect.normalized();
    const auto [first, last] = rowsBetween(band.top(), band.bottom());
    if (first > last) {
        selectionModel()->select(QItemSelection(), command);
        return;
    }
    selectionModel()->select(
        QItemSelection(model()->index(first, 0, rootIndex()), model()->index(last, 0, rootIndex())), command);
}

QRegion CategoryListTableView::visualRegionForSelection(const QItemSelection &selection) const
{
    QRegion region;
    const QRect shown = viewport()->rect();
    const int height = rowHeight();
    for (const QItemSelectionRange &range : selection) {
        if (range.parent() != rootIndex() || range.left() > 0)
            continue;
        const qint64 top = qint64(range.top()) * height - verticalOffset();
        const qint64 bottom = (qint64(range.bottom()) + 1) * height - verticalOffset();
        if (bottom <= shown.top() || top >= shown.bottom() + 1)
            continue;
        region += QRect(0, int(std::max<qint64>(top, shown.top())), shown.width(),
                        int(std::min<qint64>(bottom, shown.bottom() + 1) - std::max<qint64>(top, shown.top())));
    }
    return region;
}

QSize CategoryListTableView::viewportSizeHint() const { return QAbstractItemView::viewportSizeHint(); }

int CategoryListTableView::rowHeight() const
{
    return m_lite ? SimplePasteItemCellView::kRowHeight : PasteItemCellView::kRowHeight;
}

int CategoryListTableView::rowsPerPage() const { return std::max(1, viewport()->height() / rowHeight()); }

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
    m_pointer = event->position().toPoint();
    const QModelIndex index = indexAt(*m_pointer);
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
    m_pointer.reset();
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

void CategoryListTableView::verticalScrollbarValueChanged(int value)
{
    // The item view's own asks the display server where the pointer is, on every scroll step.
    if (model() && value == verticalScrollBar()->maximum() && model()->canFetchMore(rootIndex()))
        model()->fetchMore(rootIndex());
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
