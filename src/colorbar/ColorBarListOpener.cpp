#include "colorbar/ColorBarListOpener.h"

#include "colorbar/ColorBarMetrics.h"
#include "colorbar/MainViewController.h"
#include "colorbar/PBScreenMonitor.h"
#include "core/PBCategoryManager.h"
#include "history/CategoryWindowController.h"
#include "platform/Log.h"

#include <QScreen>
#include <QTimer>

#include <algorithm>

namespace {
const char *const kLogTag = "MainViewController";
} // namespace

ColorBarListOpener::ColorBarListOpener(MainViewController &bar, const QList<PBCategory> &categories,
                                       PBCategoryManager &categoryManager, PBScreenMonitor &monitor)
    : m_bar(bar),
      m_categories(categories),
      m_categoryManager(categoryManager),
      m_monitor(monitor)
{
}

bool ColorBarListOpener::isRowStillStored(int row)
{
    const std::optional<PBCategory> category = m_bar.categoryAt(row);
    if (!category || m_categoryManager.categoryWithId(category->id()))
        return true;
    // Removed elsewhere since the rows were made (another window, another machine): the rows are
    // made again and the bar takes its new height, once the clicked row has finished its event.
    m_bar.selectRow(-1);
    QTimer::singleShot(0, &m_bar, [bar = &m_bar] {
        bar->updateBarSize();
        bar->placeSideBarOnScreen();
    });
    return false;
}

void ColorBarListOpener::openCategoryList()
{
    LOG_DEBUG(kLogTag, QStringLiteral("--> Open Category List"));
    if (!isRowStillStored(m_bar.selectedRow()))
        return;
    CategoryWindowController *list = sharedCategoryWindowController();
    if (!list)
        return;
    list->delegate = &m_bar;
    if (list->isVisible())
        list->raise();
    if (QScreen *screen = m_monitor.currentScreen()) {
        const ColorBarMetrics metrics = ColorBarMetrics::current();
        const QRect visible = screen->availableGeometry();
        const int listWidth = list->width();
        const int x = ColorBarPlacement::isDockedRight() ? visible.x() + visible.width() - listWidth - metrics.barWidth
                                                         : visible.x() + metrics.barWidth;
        const std::optional<PBCategory> category = m_bar.categoryAt(m_bar.selectedRow());
        if (!category)
            return;
        const QRect bar = m_bar.window()->geometry();
        int y = bar.y() + (bar.height() - list->height()) / 2;
        // Kept within the screen's usable area when the bar sits near an end.
        y = std::clamp(y, visible.top(), std::max(visible.top(), visible.top() + visible.height() - list->height()));
        list->move(x, y);
        list->showCategory(*category);
    }
    LOG_DEBUG(kLogTag, QStringLiteral("<-- Did Open Category List"));
}

void ColorBarListOpener::openRow(int row)
{
    if (row < 0 || row >= m_bar.numberOfRows() || !isRowStillStored(row))
        return;
    m_bar.selectRow(row);
    openCategoryList();
    m_selectedIndexCache = row;
}

void ColorBarListOpener::listWillClose(const PBCategory &category)
{
    if (!m_isSelectByShortcut)
        m_selectedIndexCache = -1;
    for (int i = 0; i < m_bar.numberOfRows(); ++i) {
        if (m_categories.at(i).id() == category.id()) {
            if (m_bar.selectedRow() == i)
                m_bar.selectRow(-1);
            break;
        }
    }
}

void ColorBarListOpener::openByShortcut(int row)
{
    m_isSelectByShortcut = true;
    m_bar.selectRow(row);
    m_isSelectByShortcut = false;
    m_selectedIndexCache = row;
    openCategoryList();
}

void ColorBarListOpener::selectPreviousCategory()
{
    // The list may have shrunk since the row was opened.
    const int rows = m_bar.numberOfRows();
    if (m_selectedIndexCache <= 0 || rows == 0)
        return;
    openByShortcut(std::min(m_selectedIndexCache, rows) - 1);
}

void ColorBarListOpener::selectNextCategory()
{
    const int rows = m_bar.numberOfRows();
    if (m_selectedIndexCache >= rows - 1)
        return;
    openByShortcut(std::max(-1, m_selectedIndexCache) + 1);
}

void ColorBarListOpener::selectAllCategory()
{
    for (int i = 0; i < m_bar.numberOfRows(); ++i) {
        if (m_categories.at(i).type() == PBDefaultCategory::all) {
            m_bar.selectRow(i);
            m_selectedIndexCache = i;
            openCategoryList();
            return;
        }
    }
}
