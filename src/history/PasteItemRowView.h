#pragma once
// The background of a history row: a rounded card inset from the row's edges, or, when the row
// is selected, only the selection card with its shadow. GUI thread.

#include <QRect>

class QPainter;

class PasteItemRowView {
public:
    static constexpr int kInset = 6;
    static constexpr double kRadius = 8.0;

    static void paint(QPainter &painter, const QRect &rowRect, bool selected);
    // The card's rectangle inside the row.
    static QRect cardRect(const QRect &rowRect) { return rowRect.adjusted(kInset, kInset, -kInset, -kInset); }
};
