#pragma once
// A table cell of one line of text whose text rectangle a subclass may move; the background,
// selection, icon and focus are drawn over the whole cell as usual. GUI thread.

#include <QStyledItemDelegate>

class TextFieldCell : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The rectangle the style gives the text of a cell.
    QRectF titleRect(const QStyleOptionViewItem &option) const;
    // The height one line of the cell's text needs.
    static double textHeight(const QStyleOptionViewItem &option);
    // Where the text is drawn; the style's text rectangle here.
    virtual QRectF textRect(const QStyleOptionViewItem &option) const { return titleRect(option); }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
