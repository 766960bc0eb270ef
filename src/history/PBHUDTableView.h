#pragma once
// The list of the quick-paste panel: one column of fixed-height rows over the rows of a model,
// painted by the panel's row delegate (no widget per row), with single selection. Rows are placed
// by arithmetic: a long history costs nothing until it is scrolled to. The row under the pointer
// shows its delete button; the wheel hides it until the pointer enters another row. GUI thread.

#include "history/PBHUDCell.h"

#include <QAbstractItemView>

#include <optional>

class PBHUDRowDelegate;

class PBHUDTableView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit PBHUDTableView(QWidget *parent = nullptr);

    void setModel(QAbstractItemModel *model) override;
    PBHUDRowDelegate *rowDelegate() const { return m_delegate; }
    int numberOfRows() const;
    int rowHeight() const;

    // The selected row, -1 when none.
    int selectedRow() const { return m_selectedRow; }
    void selectRow(int row);
    void deselectAll();
    void scrollRowToVisible(int row);
    // The row last clicked, -1 when the click was outside the rows.
    int clickedRow() const { return m_clickedRow; }
    int firstVisibleRow() const;
    // What the row shows while it is in view.
    std::optional<PBHUDCell> cellForRow(int row) const;
    // The row whose delete button shows, -1 when none.
    int hoveredRow() const { return m_deleteHidden ? -1 : m_hoveredRow; }
    bool isPointerOnDeleteButton() const { return m_onDeleteButton; }
    // The row whose delete button is held down, -1 when none.
    int pressedDeleteRow() const { return m_pressedDeleteRow; }
    // Where the row's delete button is while it shows (viewport coordinates); empty otherwise.
    QRect deleteButtonRect(int row) const;

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;

Q_SIGNALS:
    void selectionDidChange();
    void rowDoubleClicked();
    // A drag left the threshold on a row.
    void dragRequested(int row);
    void deleteClicked(int row);

protected:
    void paintEvent(QPaintEvent *event) override;
    void updateGeometries() override;
    int verticalOffset() const override;
    int horizontalOffset() const override;
    // The selection is the one selected row, and keys are handled by keyPressEvent(): the item
    // view's own selecting and cursor moves do nothing.
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    bool isIndexHidden(const QModelIndex &index) const override;

    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    enum class Repaint { none, rows };
    // The rows follow the model's count; a selection past the end goes.
    void recount(Repaint repaint);
    int rowAt(int y) const;
    void updateRow(int row);
    void setHover(const QPoint &position);
    // A left press at the position: whether it pressed a delete button.
    bool pressDeleteButton(const QPoint &position);
    QStyleOptionViewItem optionFor(int row) const;

    PBHUDRowDelegate *m_delegate = nullptr;
    int m_selectedRow = -1;
    int m_clickedRow = -1;
    int m_hoveredRow = -1;
    bool m_deleteHidden = false;
    bool m_onDeleteButton = false;
    int m_pressedDeleteRow = -1;
    QPoint m_pressPosition;
    int m_pressRow = -1;
};
