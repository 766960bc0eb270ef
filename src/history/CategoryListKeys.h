#pragma once
// The keys a history list answers while its window is the active one: Return and Ctrl+C paste the
// selected rows, Delete and Ctrl+Backspace delete them, the arrows, Page Up and Down, Home and End
// move the selection, Escape closes the window. Keys meant for the list's sheets and dialogs never
// act on its rows. GUI thread.

#include <QObject>

class CategoryListTableView;
class CategoryListViewController;
class QKeyEvent;
class QLineEdit;

class CategoryListKeys : public QObject {
public:
    CategoryListKeys(CategoryListViewController &list, QLineEdit &searchField, CategoryListTableView &table);

    // Watches the search field and the table for keys (once).
    void install();
    void remove();
    bool isInstalled() const { return m_installed; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool handleKeyDown(QObject *receiver, QKeyEvent *event);
    void moveSelection(bool up);
    // Page Up and Down move the selection by the rows the table shows at once; Home and End to
    // the first and last row.
    void jumpSelection(Qt::Key key);

    CategoryListViewController &m_list;
    QLineEdit &m_searchField;
    CategoryListTableView &m_table;
    bool m_installed = false;
};
