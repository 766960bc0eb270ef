#pragma once
// The content of the quick-paste panel: a search field over the history list. Typing filters the
// list (debounced), the arrow keys move a selection that wraps around, Return or a double click
// pastes the chosen item into the application the user works in, Ctrl+Backspace deletes it. The
// rows are a CategoryListModel's, read from the store off the GUI thread. GUI thread.

#include "capture/TaviPBManager.h"
#include "core/PBItem.h"
#include "platform/AutoCache.h"
#include "platform/NotificationCenter.h"

#include <QWidget>

#include <functional>
#include <optional>

class CategoryListModel;
class PBHUDTableView;
class QLabel;
class QLineEdit;
class QToolButton;

class PBHUDViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxVisibleRows = 9;

    explicit PBHUDViewController(TaviPBManager &manager, QWidget *parent = nullptr);
    ~PBHUDViewController() override;

    // --- Life cycle, called by the window
    void viewWillAppear();
    void viewDidAppear();
    void viewWillDisappear();

    // --- Actions and handlers
    void refreshData();
    void handleItemDelete(const Notification &notification);
    void handleAppResignActive();
    void closeAction();
    void clearAction();
    void doubleClickAciton();
    void controlTextDidChange();
    // The first edit of the search field in an opening.
    void controlTextDidBeginEditing();

    // --- Operations
    void searchAndReload();
    void moveSelection(bool up);
    void pasteSelectedItem();
    // Puts the item of the row on the clipboard and, with quick paste on, pastes it where the
    // user was working.
    void pasteItem(int row);
    void deleteSelectedItem();
    // Deletes the row's item (the row's delete button).
    void deleteRow(int row);
    void reloadAfterDelete(int row);

    // --- The rows
    int numberOfRows() const;
    // The keyword of the rows shown: empty when they are the whole history.
    QString shownKeyword() const;
    // The row's item. Until the rows asked for last are in, it is read from the store for them,
    // never taken from rows of an earlier opening or search.
    PBItem itemAt(int row) const;
    CategoryListModel *model() const { return m_model; }
    // Whether the rows asked for last are not in yet.
    bool isFetching() const { return m_stale; }

    PBHUDTableView *historyTableView = nullptr;
    QLineEdit *searchInput = nullptr;
    QToolButton *btnClearSearch = nullptr;
    QToolButton *btnClose = nullptr;
    // Says that the history is empty or that the search found nothing, in place of the rows.
    QLabel *emptyLabel = nullptr;
    // Opens the program's menu under the button (its way in where there is no tray).
    QToolButton *btnMenu = nullptr;
    void menuAction();
    int lastSelectedIndex = 0;
    bool isSearchMode = false;
    std::function<void()> changeHandleFunc;
    TaviPBManager &manager;

    // The table's height: the panel grows and shrinks with it.
    int tableHeight() const { return m_tableHeight; }

Q_SIGNALS:
    void tableHeightChanged(int height);
    void closeRequested();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setupSearch();
    void setupUI();
    void startKeyMonitor();
    void stopKeyMonitor();
    // Reads the rows again: the history's pages without a search, the search's results with one.
    // `then` runs once the first page is in.
    void fetch(std::function<void()> then);
    // Reads the rows again once no deletion was announced for a moment, keeping the selected row.
    void refreshAfterDeletes(int selected);
    void setTableHeight();
    void tableViewSelectionDidChange();
    void startDrag(int row);
    bool handleKeyDown(QKeyEvent *event);

    QString m_keyword;
    CategoryListModel *m_model = nullptr;
    // The rows asked for last, and whether they are not in yet (or the panel was closed since).
    TaviPBManager::ListQuery m_query;
    bool m_stale = true;
    quint64 m_fetchGeneration = 0;
    bool m_deleteRefreshQueued = false;
    quint64 m_deletesAnnounced = 0;
    bool m_keyMonitorInstalled = false;
    bool m_isEditingSearch = false;
    QWidget *m_keyReceiver = nullptr;
    ObserverBag m_observers;
    int m_tableHeight = 0;
};
