#pragma once
// The picker that files one history item under the user's categories: a small pop-up beside the
// item's row with one check box row per user category. A row's box adds the item to its category
// or takes it out at once; when the picker closes, `pickChanged` runs. GUI thread.

#include "core/PBItem.h"

#include <QFrame>

#include <functional>
#include <optional>

class CustomCategoryPickCellView;
class QVBoxLayout;
class TaviPBManager;

class CustomCategoryPickViewController : public QFrame {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 22;

    explicit CustomCategoryPickViewController(TaviPBManager &manager, QWidget *parent = nullptr);

    // Reads the user's categories again and makes one row per category for `pasteItem`.
    void reloadData();
    // The height of the list: kRowHeight per category plus 4.
    int listHeight() const;
    int numberOfRows() const;
    CustomCategoryPickCellView *cellAt(int row) const;
    // Shows the picker beside `anchor` (global coordinates).
    void popup(const QRect &anchor);

    std::optional<PBItem> pasteItem;
    std::function<void()> pickChanged;

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void toggle(bool isOn, const PBCategory &category);

    TaviPBManager &m_manager;
    QWidget *m_list = nullptr;
    QVBoxLayout *m_rows = nullptr;
    QList<CustomCategoryPickCellView *> m_cells;
};
