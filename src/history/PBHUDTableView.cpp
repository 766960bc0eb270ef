#include "history/PBHUDTableView.h"

#include "history/PBHUDRowDelegate.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <limits>
#include <utility>

PBHUDTableView::PBHUDTableView(QWidget *parent) : QAbstractItemView(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    setSelectionMode(QAbstractItemView::NoSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The panel's own background shows behind the rows.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    m_delegate = new PBHUDRowDelegate(this);
    setItemDelegate(m_delegate);
    verticalScrollBar()->setSingleStep(rowHeight() / 3);
}

void PBHUDTableView::setModel(QAbstractItemModel *model)
{
    QAbstractItemView::setModel(model);
    if (!model)
        return;
    const auto recountAll = [this] { recount(Repaint::rows); };
    connect(model, &QAbstractItemModel::modelReset, this, recountAll);
    connect(model, &QAbstractItemModel::layoutChanged, this, recountAll);
    // Rows added below the view (a count that grows) change only the scroll range.
    connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex &, int first) {
        const bool shown = qint64(first) * rowHeight() < qint64(verticalOffset()) + viewport()->height();
        recount(shown ? Repaint::rows : Repaint::none);
    });
    connect(model, &QAbstractItemModel::rowsRemoved, this, recountAll);
    recount(Repaint::rows);
}

void PBHUDTableView::recount(Repaint repaint)
{
    const int rows = numberOfRows();
    if (m_selectedRow >= rows)
        m_selectedRow = -1;
    if (m_hoveredRow >= rows)
        m_hoveredRow = -1;
    updateGeometries();
    if (repaint == Repaint::rows)
        viewport()->update();
}

int PBHUDTableView::numberOfRows() const { return model() ? model()->rowCount(rootIndex()) : 0; }

int PBHUDTableView::rowHeight() const { return int(PBHUDCell::kRowHeight); }

void PBHUDTableView::updateRow(int row)
{
    if (row >= 0 && row < numberOfRows())
        viewport()->update(visualRect(model()->index(row, 0, rootIndex())));
}

void PBHUDTableView::selectRow(int row)
{
    if (row < 0 || row >= numberOfRows() || row == m_selectedRow)
        return;
    updateRow(std::exchange(m_selectedRow, row));
    updateRow(row);
    Q_EMIT selectionDidChange();
}

void PBHUDTableView::deselectAll()
{
    if (m_selectedRow < 0)
        return;
    updateRow(std::exchange(m_selectedRow, -1));
    Q_EMIT selectionDidChange();
}

void PBHUDTableView::scrollRowToVisible(int row)
{
    if (row < 0 || row >= numberOfRows())
        return;
    QScrollBar *bar = verticalScrollBar();
    const qint64 top = qint64(row) * rowHeight();
    const qint64 bottom = top + rowHeight();
    const int viewHeight = viewport()->height();
    if (top < bar->value())
        bar->setValue(int(top));
    else if (bottom > bar->value() + viewHeight)
        bar->setValue(int(bottom - viewHeight));
}

int PBHUDTableView::firstVisibleRow() const { return verticalOffset() / rowHeight(); }

int PBHUDTableView::rowAt(int y) const
{
    const qint64 row = (qint64(y) + verticalOffset()) / rowHeight();
    return y >= 0 && row < numberOfRows() ? int(row) : -1;
}

QStyleOptionViewItem PBHUDTableView::optionFor(int row) const
{
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = visualRect(model()->index(row, 0, rootIndex()));
    option.state &= ~(QStyle::State_Selected | QStyle::State_MouseOver | QStyle::State_HasFocus);
    if (row == m_selectedRow)
        option.state |= QStyle::State_Selected;
    if (row == hoveredRow())
        option.state |= QStyle::State_MouseOver;
    return option;
}

std::optional<PBHUDCell> PBHUDTableView::cellForRow(int row) const
{
    if (row < 0 || row >= numberOfRows())
        return std::nullopt;
    const QStyleOptionViewItem option = optionFor(row);
    if (!option.rect.intersects(viewport()->rect()))
        return std::nullopt;
    return m_delegate->cellFor(option, model()->index(row, 0, rootIndex()));
}

QRect PBHUDTableView::deleteButtonRect(int row) const
{
    if (row < 0 || row != hoveredRow() || row >= numberOfRows())
        return {};
    const QStyleOptionViewItem option = optionFor(row);
    return m_delegate->layoutOf(option, m_delegate->cellFor(option, model()->index(row, 0, rootIndex())), true)
        .deleteButton;
}

QRect PBHUDTableView::visualRect(const QModelIndex &index) const
{
    if (!index.isValid() || index.parent() != rootIndex() || index.column() != 0)
        return {};
    const qint64 top = qint64(index.row()) * rowHeight() - verticalOffset();
    // Rows far out of view have no place a QRect can hold.
    if (std::abs(top) > std::numeric_limits<int>::max() / 2)
        return {};
    return QRect(0, int(top), viewport()->width(), rowHeight());
}

void PBHUDTableView::scrollTo(const QModelIndex &index, ScrollHint hint)
{
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    if (hint == EnsureVisible) {
        scrollRowToVisible(index.row());
        return;
    }
    const qint64 top = qint64(index.row()) * rowHeight();
    const int room = viewport()->height() - rowHeight();
    const qint64 value = hint == PositionAtTop ? top : hint == PositionAtBottom ? top - room : top - room / 2;
    QScrollBar *bar = verticalScrollBar();
    bar->setValue(int(std::clamp<qint64>(value, bar->minimum(), bar->maximum())));
}

QModelIndex PBHUDTableView::indexAt(const QPoint &point) const
{
    const int row = viewport()->rect().contains(point) ? rowAt(point.y()) : -1;
    return row < 0 ? QModelIndex() : model()->index(row, 0, rootIndex());
}

void PBHUDTableView::paintEvent(QPaintEvent *event)
{
    const int rows = numberOfRows();
    if (rows == 0)
        return;
    QPainter painter(viewport());
    const int first = std::max(0, rowAt(std::max(0, event->rect().top())));
    const int bottom = rowAt(event->rect().bottom());
    const int last = bottom < 0 ? rows - 1 : bottom;
    for (int row = first; row <= last; ++row)
        m_delegate->paint(&painter, optionFor(row), model()->index(row, 0, rootIndex()));
}

void PBHUDTableView::updateGeometries()
{
    QScrollBar *bar = verticalScrollBar();
    const qint64 content = qint64(numberOfRows()) * rowHeight();
    const int visible = viewport()->height();
    bar->setPageStep(visible);
    bar->setRange(0, int(std::clamp<qint64>(content - visible, 0, std::numeric_limits<int>::max())));
    QAbstractItemView::updateGeometries();
}

int PBHUDTableView::horizontalOffset() const { return 0; }

int PBHUDTableView::verticalOffset() const { return verticalScrollBar()->value(); }

QModelIndex PBHUDTableView::moveCursor(CursorAction, Qt::KeyboardModifiers) { return {}; }

bool PBHUDTableView::isIndexHidden(const QModelIndex &) const { return false; }

void PBHUDTableView::setSelection(const QRect &, QItemSelectionModel::SelectionFlags) {}

QRegion PBHUDTableView::visualRegionForSelection(const QItemSelection &) const { return {}; }

void PBHUDTableView::keyPressEvent(QKeyEvent *event)
{
    const int rows = numberOfRows();
    if (rows > 0 && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const int current = m_selectedRow < 0 ? 0 : m_selectedRow;
        const int row = std::clamp(current + (event->key() == Qt::Key_Up ? -1 : 1), 0, rows - 1);
        selectRow(row);
        scrollRowToVisible(row);
        event->accept();
        return;
    }
    event->ignore();
}

void PBHUDTableView::setHover(const QPoint &position)
{
    const int row = viewport()->rect().contains(position) ? rowAt(position.y()) : -1;
    if (row != m_hoveredRow) {
        m_deleteHidden = false;
        updateRow(std::exchange(m_hoveredRow, row));
        updateRow(row);
    }
    const bool onButton = deleteButtonRect(hoveredRow()).contains(position);
    if (onButton != m_onDeleteButton) {
        m_onDeleteButton = onButton;
        updateRow(hoveredRow());
    }
}

bool PBHUDTableView::pressDeleteButton(const QPoint &position)
{
    setHover(position);
    m_clickedRow = rowAt(position.y());
    if (!m_onDeleteButton)
        return false;
    m_pressedDeleteRow = hoveredRow();
    updateRow(m_pressedDeleteRow);
    return true;
}

void PBHUDTableView::scrollContentsBy(int dx, int dy)
{
    QAbstractItemView::scrollContentsBy(dx, dy);
    // Rows moved under a still pointer: the row now under it is the one it is over.
    if (!viewport()->underMouse())
        return;
    const QPoint position = viewport()->mapFromGlobal(QCursor::pos());
    const int row = viewport()->rect().contains(position) ? rowAt(position.y()) : -1;
    if (row != m_hoveredRow) {
        updateRow(std::exchange(m_hoveredRow, row));
        updateRow(row);
    }
    m_onDeleteButton = deleteButtonRect(hoveredRow()).contains(position);
}

void PBHUDTableView::mousePressEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    // The delete button takes its own clicks.
    if (event->button() != Qt::LeftButton || pressDeleteButton(position))
        return;
    m_pressPosition = position;
    m_pressRow = m_clickedRow;
    if (m_clickedRow >= 0)
        selectRow(m_clickedRow);
}

void PBHUDTableView::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressRow = -1;
    if (event->button() != Qt::LeftButton || m_pressedDeleteRow < 0)
        return;
    const int row = std::exchange(m_pressedDeleteRow, -1);
    updateRow(row);
    if (deleteButtonRect(row).contains(event->position().toPoint()))
        Q_EMIT deleteClicked(row);
}

void PBHUDTableView::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint position = event->position().toPoint();
    setHover(position);
    if ((event->buttons() & Qt::LeftButton) && m_pressRow >= 0
        && (position - m_pressPosition).manhattanLength() >= QApplication::startDragDistance())
        Q_EMIT dragRequested(std::exchange(m_pressRow, -1));
}

void PBHUDTableView::mouseDoubleClickEvent(QMouseEvent *event)
{
    // A quick second click on the delete button is one more click of it.
    if (event->button() == Qt::LeftButton && !pressDeleteButton(event->position().toPoint()))
        Q_EMIT rowDoubleClicked();
}

bool PBHUDTableView::viewportEvent(QEvent *event)
{
    // The pointer left the rows: no delete button shows.
    if (event->type() == QEvent::Leave) {
        m_onDeleteButton = false;
        updateRow(std::exchange(m_hoveredRow, -1));
    }
    return QAbstractItemView::viewportEvent(event);
}

void PBHUDTableView::wheelEvent(QWheelEvent *event)
{
    if (event->angleDelta().y() != 0 && !m_deleteHidden) {
        m_deleteHidden = true;
        m_onDeleteButton = false;
        updateRow(m_hoveredRow);
    }
    verticalScrollBar()->setValue(verticalScrollBar()->value() - event->angleDelta().y() / 2);
    event->accept();
}
