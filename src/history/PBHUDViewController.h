#pragma once
// The content of the quick-paste panel: a search field over the history list. Typing filters the
// list (debounced), the arrow keys move a selection that wraps around, Return or a double click
// pastes the chosen item into the application the user works in, Ctrl+Backspace deletes it.
// GUI thread.

#include "capture/PBSearchFilter.h"
#include "core/PBItem.h"
#include "platform/AutoCache.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QWidget>

#include <functional>
#include <optional>

class PBHUDCell;
class PBHUDTableView;
class QLineEdit;
class QToolButton;
class TaviPBManager;

class PBHUDViewController : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxVisibleRows = 9;
    static constexpr int kPageSize = 50;

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
    void reloadAfterDelete(int row);

    // --- The rows
    int numberOfRows() const { return int(m_count); }
    // The keyword of the rows shown: empty when they are the whole history.
    QString shownKeyword() const { return m_search ? m_search->keywords.value(0) : QString(); }
    PBItem itemAt(int row) const;

    PBHUDTableView *historyTableView = nullptr;
    QLineEdit *searchInput = nullptr;
    QToolButton *btnClearSearch = nullptr;
    QToolButton *btnClose = nullptr;
    // Opens the program's menu under the button (its way in where there is no tray).
    QToolButton *btnMenu = nullptr;
    void menuAction();
    int lastSelectedIndex = 0;
    bool isSearchMode = false;
    AutoCache<bool> hasShowCloseTip{QStringLiteral("hasShowPBHUDCloseTip"), false};
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
    // `then` runs on the main queue once the rows are in.
    void fetch(std::function<void()> then);
    void setTableHeight();
    void configureCell(PBHUDCell *cell, int row);
    void deleteRowOfCell(PBHUDCell *cell);
    void tableViewSelectionDidChange();
    void startDrag(int row);
    bool handleKeyDown(QKeyEvent *event);

    QString m_keyword;
    qsizetype m_count = 0;
    // The search the rows show, if any; its pages are read like the history's.
    std::optional<PBSearchFilter> m_search;
    mutable QHash<qsizetype, QList<PBItem>> m_pages;
    quint64 m_fetchGeneration = 0;
    bool m_keyMonitorInstalled = false;
    bool m_isEditingSearch = false;
    QWidget *m_keyReceiver = nullptr;
    ObserverBag m_observers;
    int m_tableHeight = 0;
};
