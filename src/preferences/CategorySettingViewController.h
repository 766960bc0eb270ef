#pragma once
// The Category tab: every category in one table (colour, name, number of items, kind, active,
// shown on the bar, locked, clear), and buttons to add a category, delete the selected custom one
// and clear the whole history. Each toggle re-reads its category and changes only its own field,
// so an edit made elsewhere meanwhile is kept. GUI thread.

#include "core/PBCategory.h"
#include "platform/DispatchQueue.h"
#include "platform/NotificationCenter.h"

#include <QHash>
#include <QWidget>

#include <optional>

class PBCategoryManager;
class QLabel;
class QPushButton;
class QTableWidget;
class TaviPBManager;

class CategorySettingViewController : public QWidget {
    Q_OBJECT
public:
    enum Column {
        ColorColumn = 0,
        NameColumn,
        ItemsColumn,
        ActiveColumn,
        TypeColumn,
        DisplayColumn,
        LockColumn,
        ManageColumn,
        ColumnCount
    };
    static constexpr int kRowHeight = 30;

    explicit CategorySettingViewController(QWidget *parent = nullptr);
    ~CategorySettingViewController() override;

    void reloadData();
    // Reloads on the next turn of the event loop.
    void queueReload();
    // Recounts the items of every row off the GUI thread; requests made while a count runs are
    // taken by one more.
    void queueItemCounts();

    void clickAddCategory();
    void clickDeleteCategory();
    void clearAllAction();
    void listItemDoubleClickAction(int row);
    void tableViewSelectionDidChange();

    // The toggles and the per-row clear of a category (by id; the stored category is re-read).
    void setActive(const QString &categoryId, bool active);
    void setHidden(const QString &categoryId, bool hidden);
    void setLocked(const QString &categoryId, bool locked);
    void clearItems(const QString &categoryId);

    QTableWidget *listTableView = nullptr;
    QPushButton *btnAddCategory = nullptr;
    QPushButton *btnDeleteCategory = nullptr;
    QPushButton *btnClearAll = nullptr;
    QLabel *lblTips = nullptr;
    std::optional<PBCategory> selectedCategory;

protected:
    void showEvent(QShowEvent *event) override;

private:
    PBCategoryManager &categoryManager() const;
    TaviPBManager *pbManager() const;
    // A changed category is written to the store soon, as every edit is.
    void scheduleSave();
    void fillRow(int row, const PBCategory &category, const std::optional<PBCategory> &active);

    QList<QString> m_rowIds; // category id per row
    ObserverBag m_observers;
    // The counts read last, shown by a row made again until the next are in.
    QHash<QString, qsizetype> m_counts;
    // Counts run here; the pane waits for the one under way when it goes.
    SerialQueue m_countQueue{QStringLiteral("com.tavi.categoryPane.counts")};
    bool m_countsQueued = false;
    bool m_countsAgain = false;
};
