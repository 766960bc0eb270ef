#pragma once
// Where the color bar's window stands and how it is drawn out: the rows stacked with the add
// button below them, the window's width (the bar's, or widened under the pointer) and its shape,
// and its place at the docking edge of its screen, at the top remembered for that screen. GUI thread.

#include "core/PBCategory.h"

#include <QList>

#include <vector>

class CategoryCellView;
class PBScreenMonitor;
class QScreen;
class QWidget;

class ColorBarLayout {
public:
    // `view` holds the rows and the add button; the rows mirror `categories`.
    ColorBarLayout(QWidget &view, const QList<PBCategory> &categories, const std::vector<CategoryCellView *> &rows,
                   QWidget &addButton, PBScreenMonitor &monitor);

    void layoutRows();
    void updateShape();
    // One geometry change; docked right the right edge stays put.
    void setWindowWidth(int width);
    // The screen the bar is placed on: the monitor's, else (before the bar took one) its window's.
    QScreen *placementScreen() const;
    void placeSideBarOnScreen();
    // The window system moved the window: it goes back to the docking edge (a few times at most).
    void keepDockedEdge();
    // The window's width returns to the bar's when it is the widened width.
    void collapseExpandedBar();
    void widenWindow();
    // A flash ended: the bar's width again unless a row is open.
    void flashDidEnd();

private:
    QWidget *barWindow() const;
    int visibleCategoryCount() const;
    // The bar's top on a screen: the remembered one while the bar fits there, else the centred one,
    // which is remembered from then on.
    int barTop(QScreen *screen, int height);

    QWidget &m_view;
    const QList<PBCategory> &m_categories;
    const std::vector<CategoryCellView *> &m_rows;
    QWidget &m_addButton;
    PBScreenMonitor &m_monitor;
    int m_edgeCorrections = 0;
};
