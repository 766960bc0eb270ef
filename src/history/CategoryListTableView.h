#pragma once
// The table of the history list: one column of rows painted by the list's delegate from the
// rows' descriptions (no widget per row). It does not handle keys itself: the list's key monitor
// does. It tracks the row under the pointer for the delete button, hidden again by scrolling
// until the pointer enters a row. GUI thread.

#include <QListView>

class CategoryListModel;

class CategoryListTableView : public QListView {
    Q_OBJECT
public:
    explicit CategoryListTableView(QWidget *parent = nullptr);

    // The row under the pointer whose delete button shows; -1 when none.
    int hoveredRow() const { return m_deleteHidden ? -1 : m_hoveredRow; }
    // The row last clicked or double-clicked, or under the pointer when the menu opened; -1 below the rows.
    int clickedRow() const { return m_clickedRow; }
    void setLiteMode(bool lite);
    bool isLiteMode() const { return m_lite; }
    int rowHeight() const;
    QList<int> selectedRows() const;
    void selectRowAlone(int row);

Q_SIGNALS:
    void deleteClicked(int row);
    void rowDoubleClicked(int row);
    void menuRequested(int row, const QPoint &globalPosition);
    void dragRequested(const QList<int> &rows);
    // A press in the list (the preview closes).
    void pressed();

protected:
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override;

    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    void setHoveredRow(int row);

    int m_hoveredRow = -1;
    bool m_deleteHidden = false;
    int m_clickedRow = -1;
    bool m_lite = false;
};
