#pragma once
// Paints the rows of the quick-paste panel from their descriptions (PBHUDCell): the icon, the
// start of the text cut where a word ends, the paste hint at the right, the selection, and the
// delete button on the row under the pointer. Icons that need a file, the network or decoding
// come from the history rows' icon cache, which does that off the GUI thread (a row repaints when
// its icon is in); named pictures and file-type icons are drawn at the row's size. GUI thread.

#include "core/PBItem.h"
#include "history/PBHUDCell.h"

#include <QCache>
#include <QPixmap>
#include <QSet>
#include <QStyledItemDelegate>
#include <QUuid>

#include <functional>

class PBHUDTableView;

class PBHUDRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Where the parts of a row go: the layout the panel's rows have always had.
    struct RowLayout {
        QRect icon;
        QRect text;
        QRect shortcut;
        // Empty while the delete button is not shown.
        QRect deleteButton;
    };
    // Reads the stored item of a listed one and hands it to `done` on the GUI thread (off the GUI
    // thread in between).
    using StoredItemReader = std::function<void(const PBItem &listed, std::function<void(const PBItem &)> done)>;

    explicit PBHUDRowDelegate(PBHUDTableView *table);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // What the row shows: selected as the option says, blank while its item is not read.
    PBHUDCell cellFor(const QStyleOptionViewItem &option, const QModelIndex &index) const;
    RowLayout layoutOf(const QStyleOptionViewItem &option, const PBHUDCell &cell, bool withDeleteButton) const;
    // The text as it fits its place in the row (beside the delete button on a row the pointer is over).
    QString displayedText(const QStyleOptionViewItem &option, const PBHUDCell &cell) const;
    // The icon at the row's icon size; null while there is none (yet).
    QPixmap iconOf(const PBHUDCell &cell) const;
    void setStoredItemReader(StoredItemReader reader) { m_readStored = std::move(reader); }

private:
    // The picture at the row's icon size.
    QPixmap fitted(const QPixmap &source) const;
    QSize deleteButtonSize(const QStyleOptionViewItem &option) const;
    void paintDeleteButton(QPainter *painter, const QStyleOptionViewItem &option, const QRect &rect, int row) const;
    void readStoredImage(const QModelIndex &index) const;

    PBHUDTableView *m_table;
    StoredItemReader m_readStored;
    // Icons fitted to the row's size, by the cache key of the picture they were made from.
    mutable QCache<qint64, QPixmap> m_fitted{200};
    mutable QSet<QUuid> m_readingStored;
};
