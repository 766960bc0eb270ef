#pragma once
// The content of the color bar: one row per category (hidden ones take no room) and the add
// button below them. It places the bar at the chosen edge of the monitor's screen, remembers
// its top per screen, opens a category's list window beside the bar, hides itself after a delay,
// flashes the row of each new item, reorders rows dropped on it, and offers each row's menu
// (edit, remove, hide). It holds the rows and hands the rest to its collaborators: the layout,
// the hover (auto-hide, pointer, full-screen windows), the list opener, the row drag and the row
// menu; the add button moves the bar. GUI thread.

#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/HideCategoryHintWindowController.h"
#include "colorbar/ColorBarHover.h"
#include "colorbar/ColorBarLayout.h"
#include "colorbar/ColorBarListOpener.h"
#include "colorbar/ColorBarMetrics.h"
#include "colorbar/ColorBarRowDrag.h"
#include "colorbar/ColorBarRowMenu.h"
#include "core/PBCategory.h"
#include "history/CategoryWindowController.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class PBCategoryManager;
class PBScreenMonitor;
class QMenu;
class QMimeData;
class TaviPBManager;
class TaviSettings;
class AddButtonView;
class CategoryItemCounts;

class MainViewController : public QWidget, public CategoryCellHost, public CategoryListWindowDelegate {
    Q_OBJECT
public:
    static inline const QString kActiveColorBarShortcutKey = QStringLiteral("activeColorBarShortcutKey");
    static inline const QString kShowPreviousCategoryShortcutKey = QStringLiteral("showPreviousCategoryShortcutKey");
    static inline const QString kShowNextCategoryShortcutKey = QStringLiteral("showNextCategoryShortcutKey");
    static inline const QString kShowCategoryAllShortcutKey = QStringLiteral("showCategoryAllShortcutKey");
    static constexpr int kCollapseDelayMs = 400;
    // How often a hidden but reachable bar looks for the pointer when the platform cannot tell
    // it of the pointer's moves.
    static constexpr int kPointerPollMs = 100;

    MainViewController(PBCategoryManager &categories, TaviPBManager &history, PBScreenMonitor &monitor,
                       QWidget *parent = nullptr);
    ~MainViewController() override;

    // Start-up: hot keys, observers, the table and the add button (once the window exists).
    void viewDidLoad();
    // The window is about to be shown for the first time: sizes and places the bar, so the window
    // system maps it once, at its place.
    void viewWillAppear();
    // The window is shown: takes its screen, arms the hide timer, sizes and places the bar.
    void viewDidAppear();

    // --- Rows
    void reloadData();
    // The rows' item counts, kept up to date off the GUI thread.
    CategoryItemCounts &itemCounts() const { return *m_itemCounts; }
    int numberOfRows() const { return int(m_categories.size()); }
    std::optional<PBCategory> categoryAt(int row) const;
    CategoryCellView *rowView(int row) const;
    int selectedRow() const { return m_selectedRow; }
    // Selects a row (an invalid row clears the selection).
    void selectRow(int row);
    // The row at a point of this view, by the rows shown; nothing below the last one.
    std::optional<int> rowAt(const QPoint &position) const;
    QRect addButtonGeometry() const;

    // --- Layout
    void updateBarSize();
    void placeSideBarOnScreen() { m_layout->placeSideBarOnScreen(); }
    void updateBarCorners();
    // The window's width returns to the bar's when it is the widened width.
    void collapseExpandedBar() { m_layout->collapseExpandedBar(); }
    // The window system moved the window: it goes back to the docking edge (a few times at most,
    // so a window manager that insists is not fought forever).
    void keepDockedEdge() { m_layout->keepDockedEdge(); }

    // --- Lists
    void openCategoryList() { m_listOpener->openCategoryList(); }
    void tableViewDidClickRow(int row) { m_listOpener->openRow(row); }
    void categoryListWindowWillClose(const PBCategory &category) override { m_listOpener->listWillClose(category); }
    void handleCategoryEdited(bool isNew);
    // What an edit window's owner does after a save: the bar's handleCategoryEdited, or without a
    // bar, the announcement of a new category.
    static void announceCategoryEdited(MainViewController *bar, bool isNew);
    int selectedIndexCache() const { return m_listOpener->selectedIndexCache(); }

    // --- Auto-hide and hover
    void scheduleHideTimer() { m_hover->scheduleHideTimer(); }
    void collapsePanel();
    // Shows the bar at its place (placed before it is shown).
    void showPanel() { m_hover->showPanel(); }
    void toggleSideBarPanel() { m_hover->toggleSideBarPanel(); }
    // While a full-screen window covers the bar's screen the bar stays above it when
    // "needShowWhenEnterFullscreen" is on, else it steps aside until that window leaves.
    void followFullScreenWindows() { m_hover->followFullScreenWindows(); }
    bool hasSteppedAsideForFullScreen() const { return m_hover->hasSteppedAside(); }
    void handlePanelHiddenAction() { collapsePanel(); }
    bool panelIsHidden() const { return m_hover->panelIsHidden(); }
    bool isHideTimerArmed() const { return m_hover->isHideTimerArmed(); }
    int hideTimerInterval() const { return m_hover->hideTimerInterval(); }
    void scheduleCollapseTimer() { m_hover->scheduleCollapseTimer(); }
    bool isCollapseTimerArmed() const { return m_hover->isCollapseTimerArmed(); }
    // The pointer entered or left the bar.
    void barMouseEntered() { m_hover->barMouseEntered(); }
    void barMouseExited() { m_hover->barMouseExited(); }
    bool isPointerInside() const { return m_hover->isPointerInside(); }
    // Whether the hidden bar watches for the pointer over its place (by moves, else by polling).
    bool isWatchingForPointer() const { return m_hover->isWatchingForPointer(); }
    bool isPollingForPointer() const { return m_hover->isPollingForPointer(); }

    // --- Hot keys
    void bindCategoryShortcuts();
    void selectPreviousCategory() { m_listOpener->selectPreviousCategory(); }
    void selectNextCategory() { m_listOpener->selectNextCategory(); }
    void selectAllCategory() { m_listOpener->selectAllCategory(); }

    // --- New items and remote changes
    void handleDidAddNewItem(const Notification &notification);
    void remoteDataChanged();
    bool hasPendingReload() const { return m_pendingReload; }

    // --- Row menu (the clicked row)
    QMenu *rowMenu(int row) { return m_rowMenu->menuFor(row); }
    void editCategory(int row) { m_rowMenu->editCategory(row); }
    void confirmRemoveCategory() { m_rowMenu->confirmRemoveCategory(); }
    void removeCategory() { m_rowMenu->removeCategory(); }
    void hideCategoryFromMenu() { m_rowMenu->hideCategory(); }
    const std::optional<PBCategory> &selectedCategory() const { return m_rowMenu->selectedCategory(); }
    HideCategoryHintWindowController *hideCategoryHint() const { return m_rowMenu->hideCategoryHint(); }
    CategoryEditWindowController *categoryColorPickWindowController() { return m_rowMenu->editWindowController(); }

    // --- The add button: press, drag (moves the bar vertically), release
    void addButtonPressed(const QPoint &globalPosition);
    void mouseDragged(const QPoint &globalPosition);
    void addButtonReleased(const QPoint &globalPosition);
    // The "+" row's menu is the program's own menu (its way in where there is no tray).
    void addButtonMenuRequested(const QPoint &globalPosition);
    bool isAddButtonPressed() const;
    bool isDraggingBar() const;

    // --- Row drag and drop
    bool isDragAndDropInProgress() const { return m_rowDrag->isInProgress(); }
    void setDragAndDropInProgress(bool inProgress) { m_rowDrag->setInProgress(inProgress); }
    // The drop row ("above" it) for a point of this view: 0 to the number of rows.
    int dropRowAt(const QPoint &position) const { return m_rowDrag->dropRowAt(position); }
    // Whether a drop from this source may land: only the bar's own drags.
    bool validateCategoryDrop(const QObject *source, const QMimeData *data) const
    {
        return m_rowDrag->validate(source, data);
    }
    // Moves the dragged rows above `row`; false (nothing changes) for a refused payload.
    bool acceptCategoryDrop(const QObject *source, const QMimeData *data, int row)
    {
        return m_rowDrag->accept(source, data, row);
    }

    // CategoryCellHost
    void widenWindow() override { m_layout->widenWindow(); }
    void flashDidEnd() override { m_layout->flashDidEnd(); }
    std::optional<qsizetype> knownItemCount(const PBCategory &category) const override;
    QString activeCategoryId() const override;
    void rowClicked(CategoryCellView *row) override;
    void rowDragStarted(CategoryCellView *row) override;
    void rowMenuRequested(CategoryCellView *row, const QPoint &globalPosition) override;
    void tabDidResize() override { m_layout->updateShape(); }
    void pointerCrossedTab() override;

protected:
    // Watches the bar window's own pointer events (enter, leave, moves) for followPointer.
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dragLeaveEvent(QDragLeaveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    QWidget *barWindow() const { return window(); }
    void observeNotifications();
    bool isValidRow(int row) const { return row >= 0 && row < numberOfRows(); }
    void flashCategoryRow(int row);

    PBCategoryManager &m_categoryManager;
    TaviPBManager &m_history;
    TaviSettings &m_settings;
    PBScreenMonitor &m_mouseMonitor;
    QList<PBCategory> m_categories;
    std::vector<CategoryCellView *> m_rows;
    AddButtonView *m_addButton = nullptr;
    CategoryItemCounts *m_itemCounts = nullptr;
    std::unique_ptr<ColorBarLayout> m_layout;
    std::unique_ptr<ColorBarHover> m_hover;
    std::unique_ptr<ColorBarRowDrag> m_rowDrag;
    std::unique_ptr<ColorBarRowMenu> m_rowMenu;
    std::unique_ptr<ColorBarListOpener> m_listOpener;
    ObserverBag m_observers;
    bool m_loaded = false;
    bool m_pendingReload = false;
    int m_selectedRow = -1;
};
