#pragma once
// A text cell that centres its one line vertically in the style's text rectangle, drawing and
// editing at the same place so the text does not jump when editing starts. GUI thread.

#include "controls/TextFieldCell.h"

class VerticalAlignTextFieldCell : public TextFieldCell {
    Q_OBJECT
public:
    using TextFieldCell::TextFieldCell;

    // The title rectangle moved down by half its spare height, one line high; not clamped, so a
    // taller text starts above the rectangle.
    QRectF adjustedFrame(const QStyleOptionViewItem &option) const;
    QRectF textRect(const QStyleOptionViewItem &option) const override { return adjustedFrame(option); }

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;
};
