#pragma once
// The list of the quick-paste panel: one column of fixed-height rows over the rows of a model,
// with single selection. Only the rows in view have a cell: a long history costs nothing until it
// is scrolled to. The configurator fills a cell for a row, again when the model changes the row.
// GUI thread.

#include <QList>
#include <QWidget>

#include <functional>

class PBHUDCell;
class QAbstractItemModel;
class QScrollBar;

class PBHUDTableView : public QWidget {
    Q_OBJECT
public:
    using CellConfigurator = std::function<void(PBHUDCell *cell, int row)>;

    explicit PBHUDTableView(QWidget *parent = nullptr);

    void setCellConfigurator(CellConfigurator configurator) { m_configure = std::move(configurator); }
    // The rows follow the model's count; its changed rows are filled again.
    void setModel(QAbstractItemModel *model);
    void setNumberOfRows(int rows);
    int numberOfRows() const { return m_rows; }
    int rowHeight() const;

    // Rebuilds every visible cell from the data source.
    void reloadData();
    // Fills the cells of the rows in view among these again.
    void reloadRows(int first, int last);
    // The selected row, -1 when none.
    int selectedRow() const { return m_selectedRow; }
    void selectRow(int row);
    void deselectAll();
    void scrollRowToVisible(int row);
    void scrollToTop();
    // The row of a cell in view, or -1.
    int rowForCell(const PBHUDCell *cell) const;
    // The cell showing the row, when the row is in view.
    PBHUDCell *cellForRow(int row) const;
    // The row last clicked, -1 when the click was outside the rows.
    int clickedRow() const { return m_clickedRow; }
    int firstVisibleRow() const;

Q_SIGNALS:
    void selectionDidChange();
    void doubleClicked();
    // A drag left the threshold on a row.
    void dragRequested(int row);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void layoutCells();
    int rowAt(int y) const;

    CellConfigurator m_configure;
    QScrollBar *m_scrollBar = nullptr;
    QWidget *m_viewport = nullptr;
    QList<PBHUDCell *> m_cells;
    QList<int> m_cellRows;
    int m_rows = 0;
    int m_selectedRow = -1;
    int m_clickedRow = -1;
    QPoint m_pressPosition;
    int m_pressRow = -1;
};
