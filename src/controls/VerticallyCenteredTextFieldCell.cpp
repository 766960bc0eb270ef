#include "controls/VerticallyCenteredTextFieldCell.h"

QRectF VerticallyCenteredTextFieldCell::drawingRect(const QStyleOptionViewItem &option) const
{
    const QRectF r = titleRect(option);
    const double h = textHeight(option);
    if (r.height() - h > 0)
        return QRectF(r.x(), r.y() + (r.height() - h) * 0.5, r.width(), h);
    return r;
}
