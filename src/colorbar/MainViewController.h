#pragma once
// The content of the color bar: one row per category (hidden ones take no room) and the add
// button below them. It places the bar at the chosen edge of the monitor's screen, remembers
// its top per screen, opens a category's list window beside the bar, hides itself after a delay,
// flashes the row of each new item, reorders rows dropped on it, and offers each row's menu
// (edit, remove, hide). GUI thread.

#include "colorbar/CategoryCellView.h"
#include "colorbar/CategoryEditWindowController.h"
#include "colorbar/HideCategoryHintWindowController.h"
#include "colorbar/ColorBarMetrics.h"
#include "core/PBCategory.h"
#include "history/CategoryWindowController.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <optional>
#include <vector>

class PBCategoryManager;
class PBScreenMonitor;
class QMenu;
class QMimeData;
class QTimer;
class TaviPBManager;
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
    void placeSideBarOnScreen();
    void updateBarCorners();
    // The window's width returns to the bar's when it is the widened width.
    void collapseExpandedBar();
    // The window system moved the window: it goes back to the docking edge (a few times at most,
    // so a window manager that insists is not fought forever).
    void keepDockedEdge();

    // --- Lists
    void openCategoryList();
    void tableViewDidClickRow(int row);
    void categoryListWindowWillClose(const PBCategory &category) override;
    void handleCategoryEdited(bool isNew);
    // What an edit window's owner does after a save: the bar's handleCategoryEdited, or without a
    // bar, the announcement of a new category.
    static void announceCategoryEdited(MainViewController *bar, bool isNew);
    int selectedIndexCache() const { return m_selectedIndexCache; }

    // --- Auto-hide and hover
    void scheduleHideTimer();
    void collapsePanel();
    // Shows the bar at its place (placed before it is shown).
    void showPanel();
    void toggleSideBarPanel();
    // While a full-screen window covers the bar's screen the bar stays above it when
    // "needShowWhenEnterFullscreen" is on, else it steps aside until that window leaves.
    void followFullScreenWindows();
    bool hasSteppedAsideForFullScreen() const { return m_steppedAside; }
    void handlePanelHiddenAction() { collapsePanel(); }
    bool panelIsHidden() const { return m_panelIsHidden; }
    bool isHideTimerArmed() const;
    int hideTimerInterval() const;
    void scheduleCollapseTimer();
    bool isCollapseTimerArmed() const;
    // The pointer entered or left the bar.
    void barMouseEntered();
    void barMouseExited();
    bool isPointerInside() const { return m_pointerInside; }
    // Whether the hidden bar watches for the pointer over its place (by moves, else by polling).
    bool isWatchingForPointer() const;
    bool isPollingForPointer() const;

    // --- Hot keys
    void bindCategoryShortcuts();
    void selectPreviousCategory();
    void selectNextCategory();
    void selectAllCategory();

    // --- New items and remote changes
    void handleDidAddNewItem(const Notification &notification);
    void remoteDataChanged();
    bool hasPendingReload() const { return m_pendingReload; }

    // --- Row menu (the clicked row)
    QMenu *rowMenu(int row);
    void editCategory(int row);
    void confirmRemoveCategory();
    void removeCategory();
    void hideCategoryFromMenu();
    const std::optional<PBCategory> &selectedCategory() const { return m_selectedCategory; }
    HideCategoryHintWindowController *hideCategoryHint() const { return m_hideCategoryHintWC.data(); }
    CategoryEditWindowController *categoryColorPickWindowController();

    // --- The add button: press, drag (moves the bar vertically), release
    void addButtonPressed(const QPoint &globalPosition);
    void mouseDragged(const QPoint &globalPosition);
    void addButtonReleased(const QPoint &globalPosition);
    // The "+" row's menu is the program's own menu (its way in where there is no tray).
    void addButtonMenuRequested(const QPoint &globalPosition);
    bool isAddButtonPressed() const { return m_addViewClicked; }
    bool isDraggingBar() const { return m_viewIsInDragging; }

    // --- Row drag and drop
    bool isDragAndDropInProgress() const { return m_isInDragAndDrop; }
    void setDragAndDropInProgress(bool inProgress) { m_isInDragAndDrop = inProgress; }
    // The drop row ("above" it) for a point of this view: 0 to the number of rows.
    int dropRowAt(const QPoint &position) const;
    // Whether a drop from this source may land: only the bar's own drags.
    bool validateCategoryDrop(const QObject *source, const QMimeData *data) const;
    // Moves the dragged rows above `row`; false (nothing changes) for a refused payload.
    bool acceptCategoryDrop(const QObject *source, const QMimeData *data, int row);

    // CategoryCellHost
    void widenWindow() override;
    void flashDidEnd() override;
    std::optional<qsizetype> knownItemCount(const PBCategory &category) const override;
    QString activeCategoryId() const override;
    void rowClicked(CategoryCellView *row) override;
    void rowDragStarted(CategoryCellView *row) override;
    void rowMenuRequested(CategoryCellView *row, const QPoint &globalPosition) override;
    void tabDidResize() override;
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
    void layoutRows();
    void updateShape();
    // One geometry change; docked right the right edge stays put.
    void setWindowWidth(int width);
    int visibleCategoryCount() const;
    // The screen the bar is placed on: the monitor's, else (before the bar took one) its window's.
    QScreen *placementScreen() const;
    // The bar's top on a screen: the remembered one while the bar fits there, else the centred one,
    // which is remembered from then on.
    int barTop(QScreen *screen, int height);
    bool isValidRow(int row) const { return row >= 0 && row < numberOfRows(); }
    // False, with the rows made again, when the row's category was removed since the rows were made.
    bool isRowStillStored(int row);
    void flashCategoryRow(int row);
    void moveBarTo(int top);
    // Shows the bar's window unless it stepped aside for a full-screen window.
    void showBarWindow();
    void watchForPointer(bool watch);
    // Opens the row whose tab is at the pointer's place on the screen and closes the others; tells
    // the bar whether the pointer is on it. Places are read against where the bar is now: what the
    // window system reports of the pointer can be relative to where the bar was before it widened
    // or narrowed, or fold a leave and an enter into one. A pressed row or a drag keeps its state.
    void followPointer(const QPoint &globalPosition);
    void watchBarWindow();
    void pointerMoved(const QPoint &globalPosition);
    void recordScreenChange();

    PBCategoryManager &m_categoryManager;
    TaviPBManager &m_history;
    PBScreenMonitor &m_mouseMonitor;
    QList<PBCategory> m_categories;
    std::vector<CategoryCellView *> m_rows;
    AddButtonView *m_addButton = nullptr;
    CategoryItemCounts *m_itemCounts = nullptr;
    QTimer *m_hideTimer = nullptr;
    QTimer *m_collapseTimer = nullptr;
    QTimer *m_pointerPoll = nullptr;
    quint64 m_pointerMovedMonitor = 0;
    ObserverBag m_observers;
    bool m_loaded = false;
    bool m_panelIsHidden = false;
    bool m_viewIsInDragging = false;
    bool m_addViewClicked = false;
    bool m_pointerInside = false;
    bool m_pendingReload = false;
    bool m_steppedAside = false;
    int m_startOffset = 0;
    int m_edgeCorrections = 0;
    int m_dragStartOriginY = 0;
    int m_selectedIndexCache = -1;
    int m_selectedRow = -1;
    bool m_isSelectByShortcut = false;
    bool m_isInDragAndDrop = false;
    std::optional<int> m_dropIndicatorRow;
    std::optional<PBCategory> m_selectedCategory;
    QPointer<CategoryEditWindowController> m_categoryColorPickWindowController;
    QPointer<HideCategoryHintWindowController> m_hideCategoryHintWC;
    QPointer<QMenu> m_rowMenu;
};
