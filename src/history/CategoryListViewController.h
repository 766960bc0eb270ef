#pragma once
// The content of the history list window: a header in the category's colours with its name, a
// search field and the tool buttons its kind calls for (or, while several rows are selected, the
// selection bar), and the table of the category's items, pinned first. It reads the rows a page at
// a time with its own search and order, follows the history's notifications, previews the row the
// selection rests on, and pastes, copies and deletes the selected rows from the keyboard. GUI thread.

#include "capture/TaviPBManager.h"
#include "core/PBCategory.h"
#include "core/PBItem.h"
#include "platform/NotificationCenter.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class CategoryListHeader;
class CategoryListKeys;
class CategoryListModel;
class CategoryListPreview;
class CategoryListTableView;
class CategoryNoteWindowController;
class CustomCategoryPickViewController;
class FilePreviewViewController;
class ImagePreviewViewController;
class LinkContentViewController;
class PasteItemDelegate;
class PreviewPopover;
class QLabel;
class QLineEdit;
class QAction;
class QMenu;
class QToolButton;
class SpinningProgressIndicatorLayer;
class TextContentViewController;

class CategoryListViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kPreviewDelay{200};
    static constexpr std::chrono::milliseconds kReloadAfterDelete{400};

    explicit CategoryListViewController(TaviPBManager &manager, QWidget *parent = nullptr);
    ~CategoryListViewController() override;

    // Sets the list up for the category (header, buttons by kind) and reads its rows again.
    void updateUI(const PBCategory &category);
    // Loading state, then the rows read again.
    void reloadItems();
    // Reads the rows for the category, search and order now in force; `completion` runs once the
    // first page is in (never for a request a later one replaced).
    void fetchItems(std::function<void()> completion = {});
    // The query the list reads with.
    TaviPBManager::ListQuery listQuery() const;
    // What the list says when it has no rows: the category is empty, or the search found nothing.
    static QString emptyListText(const QString &search);

    // The key monitor: keys addressed to the list window itself while it is the active window.
    void addKeyEventMonitor();
    void removeKeyEventMonitor();
    bool hasKeyEventMonitor() const;

    // Rows taken bottom-up when several are selected.
    void pasteSelectedItems();
    void deleteSelectedItems();
    // The row double-clicked: pastes it, or the selection when several rows are selected.
    void categoryListItemDoubleClickAction(int clickedRow);

    // --- The row menu (its entries act on the items taken when it opened)
    // Takes the items under the pointer or selected, and shows the entries that apply to them.
    void prepareRowMenu(int clickedRow);
    // The items the open menu acts on: the clicked one, and the selection when several rows are.
    struct MenuTarget {
        int clickedRow = -1;
        std::optional<PBItem> clickedItem;
        bool several = false;
        QList<PBItem> selectedBottomUp;
    };
    const MenuTarget &menuTarget() const { return m_menuTarget; }
    void openNoteWindow(const PBItem &note);
    void showCategoryPicker(int row);
    const QList<QPointer<CategoryNoteWindowController>> &noteWindows() const { return m_noteWindows; }
    CustomCategoryPickViewController *categoryPickViewController();

    QAction *markTopMenuItem = nullptr;
    QAction *cancelTopMenuItem = nullptr;
    QAction *editTextMenuItem = nullptr;
    QAction *openInFinderMenuItem = nullptr;
    QAction *openmenuItem = nullptr;
    QAction *copyToPasteboardMenuItem = nullptr;
    QAction *copyToAppMenuItem = nullptr;
    QAction *deleteMenuItem = nullptr;
    QAction *addToCategoryMenuItem = nullptr;
    QAction *openViaBrowserMenuItem = nullptr;
    QAction *addCommentMenuItem = nullptr;
    QAction *sendEmailMenuItem = nullptr;
    QAction *imageOCRMenuItem = nullptr;
    QMenu *addToCategorySubmenu = nullptr;

    // --- Toolbar
    QMenu *textSortTypeMenu = nullptr;
    QMenu *noteSortTypeMenu = nullptr;
    // Sets the sort menus' check marks from the settings.
    void updateSortMenus();
    void handleTextSortTypeMenuChange(int tag);
    void handleNoteSortTypeMenuChange(int tag);
    void orderBtnAction();
    void floatingBtnAction();
    void activeBtnAction();
    void lockBtnAction();
    void trashBtnAction();
    void editBtnAction();
    void settingsBtnAction();
    void addNoteAction();
    void textStyleChangeAction();
    void searchTextChanged();
    void previewRow(int row);
    // Puts a window the list opens (a sheet, a note editor) beside the list, clear of the color
    // bar, and closes the preview that would stand in its place.
    void placeBesideList(QWidget *window);
    void closePreview();
    // Whether the window belongs to the list (its preview, sheets and dialogs).
    bool ownsWindow(const QWidget *window) const;

    // The item of a row, read from the store when its page is not in memory.
    PBItem itemAt(int row);
    int numberOfRows() const;
    bool isLoading() const;

    std::optional<PBCategory> category;
    TaviPBManager &manager;
    QString seachKeywords;

    QWidget *naviView = nullptr;
    QLabel *categoryNameLabel = nullptr;
    QLineEdit *itemSearchTextfield = nullptr;
    QWidget *rightTopPanel = nullptr;
    QToolButton *trashBtn = nullptr;
    QToolButton *floatingBtn = nullptr;
    QToolButton *editBtn = nullptr;
    QToolButton *settingsBtn = nullptr;
    QToolButton *noteAddBtn = nullptr;
    QToolButton *textStyleBtn = nullptr;
    QToolButton *activeBtn = nullptr;
    QToolButton *lockBtn = nullptr;
    QToolButton *orderBtn = nullptr;
    QToolButton *sortTypeBtn = nullptr;
    // Closes the window (as Escape does).
    QToolButton *closeBtn = nullptr;
    QWidget *selectionStackView = nullptr;
    QLabel *selectedItemsLabel = nullptr;
    QToolButton *selectionDeleteBtn = nullptr;
    SpinningProgressIndicatorLayer *loadingProgress = nullptr;
    CategoryListTableView *itemsTableView = nullptr;
    CategoryListModel *model = nullptr;
    QMenu *rightClickMenu = nullptr;

    TextContentViewController *textContentViewController();
    LinkContentViewController *linkContentViewController();
    FilePreviewViewController *filePreviewViewController();
    ImagePreviewViewController *imagePreviewViewController();
    PreviewPopover *contentPopover();

Q_SIGNALS:
    // The floating button was switched: the window keeps above the others while on.
    void floatingChanged(bool floating);

private:
    void setupUI();
    void setupRowMenu();
    void setupToolbarActions();
    void menuNeedsUpdate();
    void menuWillOpen();
    QList<PBItem> menuItems() const;
    void markAsTop(bool sticky);
    void editTextMenuItemAction();
    void openInFinderMenuItemAction();
    void copyToPasteMenuItemAction();
    void copyToAppMenuItemAction();
    void deleteMenuItemAction();
    void openViaBrowserMenuItemAction();
    void addCommentMenuItemAction();
    void sendEmailMenuItemAction();
    void imageOCRMenuItemAction();
    void handleAddToCustomCategory(const QString &categoryId);
    void showOcrAlert(const char *messageKey);
    void trackNote(CategoryNoteWindowController *editor);
    void registerObservers();
    void showLoadingState();
    void endLoadingState();
    void refetchFromNotification();
    void updateStar();
    void tableViewSelectionDidChange();
    QList<PBItem> selectedItemsBottomUp();
    void deleteRow(int row);
    // Takes the items' rows out at once (found by their uuids) and deletes them from the store
    // off the GUI thread.
    void deleteItems(const QList<PBItem> &items);
    void removeAndDelete(const TaviPBManager::ListRows &named, const QList<int> &rows);
    void handleDeleteFromHUD(const Notification &notification);
    void startDrag(const QList<int> &rows);
    void refreshQuickSelection();
    void layoutModeChanged();

    PasteItemDelegate *m_delegate = nullptr;
    ObserverBag m_observers;
    std::function<void(int)> m_debouncedPreview;
    bool m_loading = false;
    CategoryListHeader *m_header = nullptr;
    std::unique_ptr<CategoryListPreview> m_preview;
    CategoryListKeys *m_keys = nullptr;
    MenuTarget m_menuTarget;
    QList<QPointer<CategoryNoteWindowController>> m_noteWindows;
    CustomCategoryPickViewController *m_picker = nullptr;
};
