#include "history/PBHUDTableView.h"

#include "history/PBHUDCell.h"

#include <QAbstractButton>
#include <QAbstractItemModel>
#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

PBHUDTableView::PBHUDTableView(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    m_viewport = new QWidget(this);
    m_scrollBar = new QScrollBar(Qt::Vertical, this);
    m_scrollBar->setSingleStep(rowHeight() / 3);
    m_scrollBar->setPageStep(rowHeight() * 9);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, &PBHUDTableView::layoutCells);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_viewport, 1);
    layout->addWidget(m_scrollBar);
    m_scrollBar->hide();
}

int PBHUDTableView::rowHeight() const { return int(PBHUDCell::kRowHeight); }

void PBHUDTableView::setNumberOfRows(int rows)
{
    m_rows = std::max(0, rows);
    if (m_selectedRow >= m_rows)
        m_selectedRow = -1;
    const int contentHeight = m_rows * rowHeight();
    m_scrollBar->setRange(0, std::max(0, contentHeight - m_viewport->height()));
    m_scrollBar->setVisible(contentHeight > height() && height() > 0);
}

void PBHUDTableView::setModel(QAbstractItemModel *model)
{
    const auto recount = [this, model] {
        setNumberOfRows(model->rowCount());
        reloadData();
    };
    connect(model, &QAbstractItemModel::modelReset, this, recount);
    connect(model, &QAbstractItemModel::rowsInserted, this, recount);
    connect(model, &QAbstractItemModel::rowsRemoved, this, recount);
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex &topLeft, const QModelIndex &bottomRight) {
                reloadRows(topLeft.row(), bottomRight.row());
            });
    recount();
}

void PBHUDTableView::reloadData()
{
    setNumberOfRows(m_rows);
    m_cellRows.fill(-1);
    layoutCells();
}

void PBHUDTableView::reloadRows(int first, int last)
{
    bool changed = false;
    for (int &row : m_cellRows) {
        if (row >= first && row <= last) {
            row = -1;
            changed = true;
        }
    }
    if (changed)
        layoutCells();
}

void PBHUDTableView::selectRow(int row)
{
    if (row < 0 || row >= m_rows || row == m_selectedRow)
        return;
    m_selectedRow = row;
    for (int i = 0; i < m_cells.size(); ++i) {
        m_cells[i]->isSelected = m_cellRows[i] == row;
        m_cells[i]->update();
    }
    Q_EMIT selectionDidChange();
}

void PBHUDTableView::deselectAll()
{
    if (m_selectedRow < 0)
        return;
    m_selectedRow = -1;
    for (PBHUDCell *cell : std::as_const(m_cells)) {
        cell->isSelected = false;
        cell->update();
    }
    Q_EMIT selectionDidChange();
}

void PBHUDTableView::scrollRowToVisible(int row)
{
    if (row < 0 || row >= m_rows)
        return;
    const int top = row * rowHeight();
    const int bottom = top + rowHeight();
    const int viewHeight = m_viewport->height();
    if (top < m_scrollBar->value())
        m_scrollBar->setValue(top);
    else if (bottom > m_scrollBar->value() + viewHeight)
        m_scrollBar->setValue(bottom - viewHeight);
}

void PBHUDTableView::scrollToTop()
{
    m_scrollBar->setValue(0);
    layoutCells();
}

int PBHUDTableView::rowForCell(const PBHUDCell *cell) const
{
    const qsizetype index = m_cells.indexOf(const_cast<PBHUDCell *>(cell));
    return index < 0 ? -1 : m_cellRows.at(index);
}

PBHUDCell *PBHUDTableView::cellForRow(int row) const
{
    const qsizetype index = m_cellRows.indexOf(row);
    return row < 0 || index < 0 ? nullptr : m_cells.at(index);
}

int PBHUDTableView::firstVisibleRow() const { return m_scrollBar->value() / rowHeight(); }

int PBHUDTableView::rowAt(int y) const
{
    const int row = (y + m_scrollBar->value()) / rowHeight();
    return row >= 0 && row < m_rows ? row : -1;
}

// Cells are kept for the rows in view only and refilled when the rows under them change.
void PBHUDTableView::layoutCells()
{
    const int height = rowHeight();
    const int offset = m_scrollBar->value();
    const int first = offset / height;
    const int wanted = std::min(m_rows - first, m_viewport->height() / height + 2);
    while (m_cells.size() < wanted) {
        auto *cell = new PBHUDCell(m_viewport);
        cell->installEventFilter(this);
        for (QWidget *child : cell->findChildren<QWidget *>())
            child->installEventFilter(this);
        m_cells.append(cell);
        m_cellRows.append(-1);
    }
    for (int i = 0; i < m_cells.size(); ++i) {
        PBHUDCell *cell = m_cells[i];
        const int row = first + i;
        if (i >= wanted) {
            cell->hide();
            m_cellRows[i] = -1;
            continue;
        }
        if (m_cellRows[i] != row) {
            m_cellRows[i] = row;
            cell->isSelected = false;
            if (m_configure)
                m_configure(cell, row);
            if (m_selectedRow >= 0) {
                cell->isSelected = row == m_selectedRow;
                cell->updateShortcutLabel();
            }
        }
        cell->setGeometry(0, row * height - offset, m_viewport->width(), height);
        cell->show();
    }
}

void PBHUDTableView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    setNumberOfRows(m_rows);
    layoutCells();
}

void PBHUDTableView::wheelEvent(QWheelEvent *event)
{
    m_scrollBar->setValue(m_scrollBar->value() - event->angleDelta().y() / 2);
    event->accept();
}

void PBHUDTableView::keyPressEvent(QKeyEvent *event)
{
    if (m_rows > 0 && (event->key() == Qt::Key_Up || event->key() == Qt::Key_Down)) {
        const int current = m_selectedRow < 0 ? 0 : m_selectedRow;
        const int row = std::clamp(current + (event->key() == Qt::Key_Up ? -1 : 1), 0, m_rows - 1);
        selectRow(row);
        scrollRowToVisible(row);
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PBHUDTableView::eventFilter(QObject *watched, QEvent *event)
{
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget)
        return false;
    if (event->type() == QEvent::Wheel) {
        wheelEvent(static_cast<QWheelEvent *>(event));
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonDblClick
        && event->type() != QEvent::MouseMove)
        return false;
    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPoint inViewport = widget->mapTo(m_viewport, mouse->position().toPoint());
    if (event->type() == QEvent::MouseMove) {
        if ((mouse->buttons() & Qt::LeftButton) && m_pressRow >= 0
            && (inViewport - m_pressPosition).manhattanLength() >= QApplication::startDragDistance()) {
            const int row = std::exchange(m_pressRow, -1);
            Q_EMIT dragRequested(row);
            return true;
        }
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    m_clickedRow = rowAt(inViewport.y());
    // The delete button handles its own clicks.
    if (qobject_cast<QAbstractButton *>(widget))
        return false;
    if (event->type() == QEvent::MouseButtonPress) {
        m_pressPosition = inViewport;
        m_pressRow = m_clickedRow;
        if (m_clickedRow >= 0)
            selectRow(m_clickedRow);
    } else {
        Q_EMIT doubleClicked();
    }
    return false;
}
