#pragma once
// A text cell that draws its one line vertically centred when the style's text rectangle has
// room to spare; editing is left as the style places it. GUI thread.

#include "controls/TextFieldCell.h"

class VerticallyCenteredTextFieldCell : public TextFieldCell {
    Q_OBJECT
public:
    using TextFieldCell::TextFieldCell;

    // The centred rectangle, or the style's own when the text is as tall as it or taller.
    QRectF drawingRect(const QStyleOptionViewItem &option) const;
    QRectF textRect(const QStyleOptionViewItem &option) const override { return drawingRect(option); }
};
