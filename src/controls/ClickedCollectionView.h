#pragma once
// A grid of items that remembers which item a context-menu request hit and offers its menu only
// for items from index 20 on (the first 20 are fixed entries). GUI thread.

#include <QListView>
#include <QPointer>

#include <optional>

class QMenu;

class ClickedCollectionView : public QListView {
    Q_OBJECT
public:
    static constexpr int kFirstItemWithMenu = 20;

    explicit ClickedCollectionView(QWidget *parent = nullptr);

    // The item under the pointer at the last context-menu request; absent over no item.
    std::optional<int> clickedIndex() const { return m_clickedIndex; }

    QMenu *menu() const;
    void setMenu(QMenu *menu);

    // Records clickedIndex for a point in viewport coordinates and gives the menu to show, or
    // nullptr. Only the top-level items are searched.
    virtual QMenu *menuForEvent(const QPoint &viewportPosition);

protected:
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    std::optional<int> m_clickedIndex;
    QPointer<QMenu> m_menu;
};
