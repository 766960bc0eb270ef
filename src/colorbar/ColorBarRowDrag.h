#pragma once
// The color bar's rows dragged along it to reorder the categories: the drag of a row, the gap
// drawn where it will land, and the drop, which only the bar's own drags may make. GUI thread.

#include <optional>
#include <vector>

class CategoryCellView;
class MainViewController;
class PBCategoryManager;
class QDragEnterEvent;
class QDragLeaveEvent;
class QDragMoveEvent;
class QDropEvent;
class QMimeData;
class QObject;
class QPoint;
class TaviPBManager;

class ColorBarRowDrag {
public:
    ColorBarRowDrag(MainViewController &bar, const std::vector<CategoryCellView *> &rows, PBCategoryManager &categories,
                    TaviPBManager &history);

    bool isInProgress() const { return m_inProgress; }
    void setInProgress(bool inProgress) { m_inProgress = inProgress; }
    // Drags the row (at `index`) until it is dropped or the drag is given up.
    void start(CategoryCellView *row, int index);
    // The drop row ("above" it) for a point of the bar: 0 to the number of rows.
    int dropRowAt(const QPoint &position) const;
    bool validate(const QObject *source, const QMimeData *data) const;
    bool accept(const QObject *source, const QMimeData *data, int row);

    void dragEnter(QDragEnterEvent *event);
    void dragMove(QDragMoveEvent *event);
    void dragLeave();
    void drop(QDropEvent *event);
    // Draws the gap where a dragged row will land, while one is over the bar.
    void paintIndicator();

private:
    MainViewController &m_bar;
    const std::vector<CategoryCellView *> &m_rows;
    PBCategoryManager &m_categories;
    TaviPBManager &m_history;
    bool m_inProgress = false;
    std::optional<int> m_indicatorRow;
};
