#include "history/PasteItemCellView.h"

#include "history/PasteItemRowView.h"
#include "history/RowIcons.h"

#include <QApplication>
#include <QPalette>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <memory>

namespace {
constexpr int kPadding = 10;
constexpr int kChipWidth = 14;
constexpr int kChipHeight = 8;

QColor secondaryText()
{
    QColor color = QApplication::palette().color(QPalette::Text);
    color.setAlphaF(0.6);
    return color;
}
} // namespace

namespace {

QList<QTextLayout::FormatRange> formatsOf(const QList<RichTitle::Run> &runs, int from, int length)
{
    QList<QTextLayout::FormatRange> formats;
    for (const RichTitle::Run &run : runs) {
        const int start = std::max(run.start, from);
        const int end = std::min(run.start + run.length, from + length);
        if (start >= end)
            continue;
        QTextCharFormat format;
        if (run.style.bold)
            format.setFontWeight(QFont::Bold);
        format.setFontItalic(run.style.italic);
        format.setFontUnderline(run.style.underline);
        format.setFontStrikeOut(run.style.strikeOut);
        formats.append({start - from, end - start, format});
    }
    return formats;
}

// One line of the text from `from`, cut with "…" where it would pass the width.
void drawFormattedLastLine(QPainter &painter, QPointF at, int width, const QString &text, int from,
                           const QList<RichTitle::Run> &runs)
{
    const auto layOut = [&](const QString &shown) {
        auto layout = std::make_unique<QTextLayout>(shown, painter.font());
        layout->setFormats(formatsOf(runs, from, int(shown.size())));
        layout->beginLayout();
        QTextLine line = layout->createLine();
        if (line.isValid())
            line.setPosition(QPointF(0, 0));
        layout->endLayout();
        return layout;
    };
    const QString rest = text.mid(from);
    auto whole = layOut(rest);
    if (whole->lineCount() == 0)
        return;
    if (whole->lineAt(0).naturalTextWidth() <= width) {
        whole->draw(&painter, at);
        return;
    }
    const QString ellipsis = QStringLiteral("\u2026");
    const int room = width - QFontMetrics(painter.font()).horizontalAdvance(ellipsis);
    int cut = whole->lineAt(0).xToCursor(std::max(0, room), QTextLine::CursorOnCharacter);
    while (cut > 0 && whole->lineAt(0).cursorToX(cut) > room)
        --cut;
    // Never between the halves of a character.
    if (cut > 0 && rest.at(cut - 1).isHighSurrogate())
        --cut;
    layOut(rest.left(cut) + ellipsis)->draw(&painter, at);
}

void drawFormattedText(QPainter &painter, const QRect &rect, const QString &text, int lines,
                       const QList<RichTitle::Run> &runs)
{
    const QFontMetrics metrics(painter.font());
    QTextLayout layout(text, painter.font());
    layout.setFormats(formatsOf(runs, 0, int(text.size())));
    layout.beginLayout();
    int y = 0;
    for (int line = 0; line < lines - 1; ++line) {
        QTextLine textLine = layout.createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(rect.width());
        textLine.setPosition(QPointF(0, y));
        y += metrics.lineSpacing();
    }
    layout.endLayout();
    int next = 0;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine textLine = layout.lineAt(i);
        textLine.draw(&painter, rect.topLeft());
        next = textLine.textStart() + textLine.textLength();
    }
    if (next < text.size())
        drawFormattedLastLine(painter, QPointF(rect.left(), rect.top() + layout.lineCount() * metrics.lineSpacing()),
                              rect.width(), text, next, runs);
}

} // namespace

namespace RowPainting {

void drawIcon(QPainter &painter, const QRect &box, const PasteItemRow &row)
{
    const QPixmap pixmap = RowIcons::shared().icon(row);
    if (pixmap.isNull())
        return;
    const QSize size = pixmap.size().scaled(box.size(), Qt::KeepAspectRatio);
    const QRect target(box.left() + (box.width() - size.width()) / 2, box.top() + (box.height() - size.height()) / 2,
                       size.width(), size.height());
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(target, pixmap);
    painter.restore();
}

void drawText(QPainter &painter, const QRect &rect, const QString &text, int lines, const QList<RichTitle::Run> &runs)
{
    if (!runs.isEmpty()) {
        drawFormattedText(painter, rect, text, lines, runs);
        return;
    }
    const QFontMetrics metrics(painter.font());
    QTextLayout layout(text, painter.font());
    layout.beginLayout();
    int y = rect.top();
    for (int line = 0; line < lines; ++line) {
        QTextLine textLine = layout.createLine();
        if (!textLine.isValid())
            break;
        textLine.setLineWidth(rect.width());
        const bool last = line == lines - 1;
        if (last) {
            const QString rest = text.mid(textLine.textStart());
            painter.drawText(QPoint(rect.left(), y + metrics.ascent()),
                             metrics.elidedText(rest, Qt::ElideRight, rect.width()));
        } else {
            painter.drawText(QPoint(rect.left(), y + metrics.ascent()),
                             text.mid(textLine.textStart(), textLine.textLength()));
        }
        y += metrics.lineSpacing();
    }
    layout.endLayout();
}

int drawChips(QPainter &painter, const QRect &rect, const QList<QColor> &chips)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    int x = rect.left();
    for (const QColor &color : chips) {
        if (x + kChipWidth > rect.right())
            break;
        painter.setBrush(color);
        painter.drawRoundedRect(QRectF(x, rect.center().y() - kChipHeight / 2.0, kChipWidth, kChipHeight), 2, 2);
        x += kChipWidth + 4;
    }
    painter.restore();
    return x;
}

void drawPin(QPainter &painter, const QRect &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xE7, 0x4C, 0x3C));
    const QPointF head(rect.center().x(), rect.top() + rect.height() * 0.35);
    painter.drawEllipse(head, rect.width() * 0.3, rect.width() * 0.3);
    painter.setPen(QPen(QColor(0x7F, 0x8C, 0x8D), 1.5));
    painter.drawLine(head, QPointF(rect.center().x(), rect.bottom()));
    painter.restore();
}

void drawDeleteButton(QPainter &painter, const QRect &rect)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 110));
    painter.drawEllipse(rect);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    const QRectF cross = QRectF(rect).adjusted(5.5, 5.5, -5.5, -5.5);
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    painter.restore();
}

} // namespace RowPainting

QRect PasteItemCellView::deleteButtonRect(const QRect &rowRect)
{
    const QRect card = PasteItemRowView::cardRect(rowRect);
    constexpr int size = 18;
    return QRect(card.right() - kPadding - size + 1, card.center().y() - size / 2, size, size);
}

void PasteItemCellView::paint(QPainter &painter, const QRect &rowRect, const PasteItemRow &row, RowPaintState state)
{
    PasteItemRowView::paint(painter, rowRect, state.selected);
    const QRect card = PasteItemRowView::cardRect(rowRect);
    const int iconWidth = row.iconWidth > 0 ? row.iconWidth : 36;
    RowPainting::drawIcon(painter,
                          QRect(card.left() + kPadding, card.top() + kPadding, iconWidth,
                                std::min(iconWidth, card.height() - 2 * kPadding)),
                          row);

    painter.save();
    QFont titleFont = painter.font();
    titleFont.setPixelSize(13);
    QFont smallFont = painter.font();
    smallFont.setPixelSize(11);
    const QFontMetrics smallMetrics(smallFont);
    const int dateWidth = smallMetrics.horizontalAdvance(row.date) + 4;
    const int textLeft = card.left() + kPadding + iconWidth + kPadding;
    const int textRight = card.right() - kPadding - (state.showDelete ? 26 : 16);
    int y = card.top() + 7;

    painter.setFont(titleFont);
    painter.setPen(QApplication::palette().color(QPalette::Text));
    const int titleHeight = QFontMetrics(titleFont).lineSpacing() * row.titleLines;
    RowPainting::drawText(painter, QRect(textLeft, y, textRight - textLeft, titleHeight), row.title, row.titleLines,
                          row.titleRuns);
    y += titleHeight + 1;

    painter.setFont(smallFont);
    painter.setPen(secondaryText());
    if (row.hasSecondLine && !row.secondLine.isEmpty()) {
        painter.drawText(QPoint(textLeft, y + smallMetrics.ascent()),
                         smallMetrics.elidedText(row.secondLine, Qt::ElideMiddle, textRight - textLeft));
        y += smallMetrics.lineSpacing();
    }
    const int bottom = card.bottom() - 6 - smallMetrics.height();
    if (row.comment && y + smallMetrics.height() <= bottom + 1) {
        painter.drawText(QPoint(textLeft, y + smallMetrics.ascent()),
                         smallMetrics.elidedText(*row.comment, Qt::ElideRight, textRight - textLeft));
    }
    RowPainting::drawChips(painter, QRect(textLeft, bottom, textRight - textLeft - dateWidth, smallMetrics.height()),
                           row.chips);
    painter.drawText(QRect(card.right() - kPadding - dateWidth, bottom, dateWidth, smallMetrics.height()),
                     Qt::AlignRight | Qt::AlignVCenter, row.date);
    painter.restore();

    if (row.isSticky)
        RowPainting::drawPin(painter, QRect(card.right() - kPadding - 10, card.top() + 6, 10, 14));
    if (state.showDelete)
        RowPainting::drawDeleteButton(painter, deleteButtonRect(rowRect));
}
