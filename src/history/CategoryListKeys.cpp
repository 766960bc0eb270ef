#include "history/CategoryListKeys.h"

#include "history/CategoryListModel.h"
#include "history/CategoryListTableView.h"
#include "history/CategoryListViewController.h"
#include "platform/Analytics.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

#include <algorithm>

namespace {

void track(const char *event) { Analytics::trackEvent(QString::fromLatin1(event)); }

} // namespace

CategoryListKeys::CategoryListKeys(CategoryListViewController &list, QLineEdit &searchField,
                                   CategoryListTableView &table)
    : QObject(&list),
      m_list(list),
      m_searchField(searchField),
      m_table(table)
{
}

void CategoryListKeys::install()
{
    if (m_installed)
        return;
    m_searchField.installEventFilter(this);
    m_table.installEventFilter(this);
    m_installed = true;
}

void CategoryListKeys::remove()
{
    if (!m_installed)
        return;
    m_searchField.removeEventFilter(this);
    m_table.removeEventFilter(this);
    m_installed = false;
}

bool CategoryListKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && m_installed && (watched == &m_searchField || watched == &m_table)) {
        // Keys meant for the list's own sheets and dialogs never act on its rows.
        if (!QApplication::activeModalWidget() && static_cast<QWidget *>(watched)->window() == m_list.window())
            handleKeyDown(watched, static_cast<QKeyEvent *>(event));
    }
    return QObject::eventFilter(watched, event);
}

bool CategoryListKeys::handleKeyDown(QObject *receiver, QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
    case Qt::Key_C:
        track("ListVC_CommandAndC");
        if (control)
            m_list.pasteSelectedItems();
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        track("ListVC_UsingReturn");
        m_list.pasteSelectedItems();
        return true;
    case Qt::Key_Backspace:
        track("ListVC_CommandAndDelete");
        if (control)
            m_list.deleteSelectedItems();
        return true;
    case Qt::Key_Delete:
        track("ListVC_CommandAndDelete");
        // In the search field the key edits the search.
        if (receiver != &m_searchField)
            m_list.deleteSelectedItems();
        return true;
    case Qt::Key_Down:
        track("ListVC_KeyBoardSelection");
        moveSelection(false);
        return true;
    case Qt::Key_Up:
        track("ListVC_KeyBoardSelection");
        moveSelection(true);
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        // In a search field with text the keys move its cursor.
        if (receiver == &m_searchField && !m_searchField.text().isEmpty())
            return false;
        Q_FALLTHROUGH();
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        track("ListVC_KeyBoardSelection");
        jumpSelection(Qt::Key(event->key()));
        return true;
    case Qt::Key_Escape: m_list.window()->close(); return true;
    default: return false;
    }
}

void CategoryListKeys::jumpSelection(Qt::Key key)
{
    const int count = m_list.numberOfRows();
    if (count == 0)
        return;
    const QList<int> rows = m_table.selectedRows();
    const QModelIndex current = m_table.currentIndex();
    const int from = rows.size() == 1 ? rows.first() : current.isValid() && !rows.isEmpty() ? current.row() : -1;
    const int page = m_table.rowsPerPage();
    int to = 0;
    switch (key) {
    case Qt::Key_Home: to = 0; break;
    case Qt::Key_End: to = count - 1; break;
    // Without a selection the first row is taken, as the arrow keys do.
    case Qt::Key_PageUp: to = from < 0 ? 0 : from - page; break;
    case Qt::Key_PageDown: to = from < 0 ? 0 : from + page; break;
    default: return;
    }
    m_table.selectRowAlone(std::clamp(to, 0, count - 1));
}

void CategoryListKeys::moveSelection(bool up)
{
    const int count = m_list.numberOfRows();
    if (count == 0)
        return;
    const QList<int> rows = m_table.selectedRows();
    if (rows.isEmpty()) {
        m_table.selectRowAlone(0);
        return;
    }
    if (rows.size() != 1)
        return;
    const int next = rows.first() + (up ? -1 : 1);
    if (next < 0 || next >= count)
        return;
    m_table.selectRowAlone(next);
}
