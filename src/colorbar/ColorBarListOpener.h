#pragma once
// Opens a category's list window beside the color bar: for a clicked row, and for the hot keys
// that step to the row above or below the one last opened or open All. It remembers that row
// until its list closes (a list a hot key replaced keeps it). GUI thread.

#include "core/PBCategory.h"

class MainViewController;
class PBCategoryManager;
class PBScreenMonitor;

class ColorBarListOpener {
public:
    ColorBarListOpener(MainViewController &bar, const QList<PBCategory> &categories, PBCategoryManager &categoryManager,
                       PBScreenMonitor &monitor);

    // Opens the list of the bar's selected row.
    void openCategoryList();
    void openRow(int row);
    void selectPreviousCategory();
    void selectNextCategory();
    void selectAllCategory();
    void listWillClose(const PBCategory &category);
    int selectedIndexCache() const { return m_selectedIndexCache; }

private:
    // False, with the rows made again, when the row's category was removed since the rows were made.
    bool isRowStillStored(int row);
    // Selects the row for a hot key and opens it.
    void openByShortcut(int row);

    MainViewController &m_bar;
    const QList<PBCategory> &m_categories;
    PBCategoryManager &m_categoryManager;
    PBScreenMonitor &m_monitor;
    int m_selectedIndexCache = -1;
    bool m_isSelectByShortcut = false;
};
