#include "history/SimplePasteItemCellView.h"

#include "history/PasteItemRowView.h"

#include <QApplication>
#include <QPalette>
#include <QFontMetrics>
#include <QPainter>

void SimplePasteItemCellView::paint(QPainter &painter, const QRect &rowRect, const PasteItemRow &row,
                                    RowPaintState state)
{
    PasteItemRowView::paint(painter, rowRect, state.selected);
    const QRect card = PasteItemRowView::cardRect(rowRect);
    constexpr int padding = 8;
    constexpr int icon = 24;
    RowPainting::drawIcon(painter, QRect(card.left() + padding, card.center().y() - icon / 2, icon, icon), row);

    painter.save();
    QFont titleFont = painter.font();
    titleFont.setPixelSize(12);
    painter.setFont(titleFont);
    painter.setPen(QApplication::palette().color(QPalette::Text));
    const QFontMetrics metrics(titleFont);
    const int left = card.left() + padding + icon + padding;
    const int right = card.right() - padding - (state.showDelete ? 24 : 0);
    const bool tagLine = row.titleLines == 1;
    const int textHeight = metrics.lineSpacing() * row.titleLines + (tagLine ? 10 : 0);
    const int top = card.center().y() - textHeight / 2;
    RowPainting::drawText(painter, QRect(left, top, right - left, metrics.lineSpacing() * row.titleLines), row.title,
                          row.titleLines, row.titleRuns);
    if (tagLine) {
        const QRect line(left, top + metrics.lineSpacing() + 1, right - left, 9);
        const int x = RowPainting::drawChips(painter, line, row.chips);
        if (row.isSticky)
            RowPainting::drawPin(painter, QRect(x, line.top() - 1, 7, 10));
    }
    painter.restore();
    if (state.showDelete)
        RowPainting::drawDeleteButton(painter, PasteItemCellView::deleteButtonRect(rowRect));
}
