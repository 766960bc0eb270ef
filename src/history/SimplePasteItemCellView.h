#pragma once
// The compact row of a history list (50 px, "enableLiteMode"): icon and title, and a tag line of
// chips and the pin when the item has either. GUI thread.

#include "history/PasteItemCellView.h"

class SimplePasteItemCellView {
public:
    static inline const QString kIdentifier = QStringLiteral("SimplePasteItemCellView");
    static constexpr int kRowHeight = 50;

    static void paint(QPainter &painter, const QRect &rowRect, const PasteItemRow &row, RowPaintState state);
};
