#pragma once
// The table of the history list: one column of rows painted by the list's delegate from the
// rows' descriptions (no widget per row). Every row has one height, so the table places rows by
// arithmetic instead of the list view's layout, which walks every row (a million of them) on each
// change of the row count. It does not handle keys itself: the list's key monitor does. It tracks
// the row under the pointer for the delete button, hidden again by scrolling until the pointer
// enters a row. The pointer's place comes from the mouse events: painting and scrolling never ask
// the display server for it, which would make each frame wait for a round trip. GUI thread.

#include <QListView>

#include <optional>

class CategoryListModel;
class QPainter;

class CategoryListTableView : public QListView {
    Q_OBJECT
public:
    explicit CategoryListTableView(QWidget *parent = nullptr);

    QRect visualRect(const QModelIndex &index) const override;
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint &point) const override;
    void doItemsLayout() override;

    // The row under the pointer whose delete button shows; -1 when none.
    int hoveredRow() const { return m_deleteHidden ? -1 : m_hoveredRow; }
    // The row last clicked or double-clicked, or under the pointer when the menu opened; -1 below the rows.
    int clickedRow() const { return m_clickedRow; }
    void setLiteMode(bool lite);
    bool isLiteMode() const { return m_lite; }
    int rowHeight() const;
    // How many whole rows the table shows at once (at least one).
    int rowsPerPage() const;
    QList<int> selectedRows() const;
    // What the table says while it has no rows (an empty category, a search without matches).
    void setEmptyText(const QString &text);
    QString emptyText() const { return m_emptyText; }
    void selectRowAlone(int row);

Q_SIGNALS:
    void deleteClicked(int row);
    void rowDoubleClicked(int row);
    void menuRequested(int row, const QPoint &globalPosition);
    void dragRequested(const QList<int> &rows);
    // A press in the list (the preview closes).
    void pressed();

protected:
    // Overrides that only call QAbstractItemView's skip the list view's own, which read or
    // rebuild its row layout.
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override;
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void rowsAboutToBeRemoved(const QModelIndex &parent, int start, int end) override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    bool isIndexHidden(const QModelIndex &index) const override;
    void setSelection(const QRect &rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection &selection) const override;
    QSize viewportSizeHint() const override;

    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void startDrag(Qt::DropActions supportedActions) override;

protected Q_SLOTS:
    void verticalScrollbarValueChanged(int value) override;

private:
    void setHoveredRow(int row);
    void paintEmptyText(QPainter &painter);
    int rows() const;
    // The rows [first, last] that meet the viewport's band [top, bottom] (viewport coordinates).
    std::pair<int, int> rowsBetween(int top, int bottom) const;
    // Asks the model for the pages the next scrolls will show, in the direction and stride of
    // the last one, so that they are read before they are painted.
    void prefetchAhead();

    // Scrolls of the last one's stride read ahead of, and at most this many pages asked for.
    static constexpr int kPrefetchScrolls = 2;
    static constexpr int kPrefetchPages = 3;

    int m_hoveredRow = -1;
    // Where the pointer was last seen over the rows (viewport coordinates); none once it left.
    std::optional<QPoint> m_pointer;
    bool m_deleteHidden = false;
    int m_clickedRow = -1;
    bool m_lite = false;
    QString m_emptyText;
    // Pixels the last scroll moved the rows (positive down the list); 0 before any.
    qint64 m_lastScroll = 0;
};
