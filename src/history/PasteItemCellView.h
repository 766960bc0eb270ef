#pragma once
// The rich row of a history list (92 px): icon, a title of one or two lines, the second line of
// files and notes, the comment, the tag chips, the date, the pin, and the delete button while the
// pointer is over the row. Painted from the row's description. GUI thread.

#include "history/PasteItemRow.h"

#include <QRect>

class QPainter;

// How a row is painted now.
struct RowPaintState {
    bool selected = false;
    bool showDelete = false;
};

class PasteItemCellView {
public:
    static inline const QString kIdentifier = QStringLiteral("PasteItemCellView");
    static constexpr int kRowHeight = 92;

    static void paint(QPainter &painter, const QRect &rowRect, const PasteItemRow &row, RowPaintState state);
    // Where the delete button sits in a row of either kind.
    static QRect deleteButtonRect(const QRect &rowRect);
};

// Pieces both row kinds paint.
namespace RowPainting {
void drawIcon(QPainter &painter, const QRect &box, const PasteItemRow &row);
// The text within `rect` on at most `lines` lines, the last one elided; formatted by the runs.
void drawText(QPainter &painter, const QRect &rect, const QString &text, int lines,
              const QList<RichTitle::Run> &runs = {});
// The chips from the left of `rect`; returns the x after the last one.
int drawChips(QPainter &painter, const QRect &rect, const QList<QColor> &chips);
void drawPin(QPainter &painter, const QRect &rect);
void drawDeleteButton(QPainter &painter, const QRect &rect);
} // namespace RowPainting
