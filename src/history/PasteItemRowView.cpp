#include "history/PasteItemRowView.h"

#include "platform/ColorAssets.h"

#include <QPainter>
#include <QPainterPath>

void PasteItemRowView::paint(QPainter &painter, const QRect &rowRect, bool selected)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(cardRect(rowRect)), kRadius, kRadius);
    if (!selected) {
        painter.setPen(QPen(ColorAssets::namedOr(QStringLiteral("NormalBorderColor"), QColor(0, 0, 0, 30)), 1));
        painter.setBrush(ColorAssets::namedOr(QStringLiteral("NormalBackgroundColor"), QColor(255, 255, 255)));
        painter.drawPath(card);
        painter.restore();
        return;
    }
    // The shadow: a few widening, fading copies of the card offset down and right.
    const QColor shadow = ColorAssets::namedOr(QStringLiteral("SelectedShadowColor"), QColor(0, 0, 0, 60));
    painter.setPen(Qt::NoPen);
    for (int blur = 4; blur >= 1; --blur) {
        QColor layer = shadow;
        layer.setAlphaF(shadow.alphaF() / 4.0);
        painter.setBrush(layer);
        QPainterPath spread;
        spread.addRoundedRect(QRectF(cardRect(rowRect)).translated(2, 4).adjusted(-blur, -blur, blur, blur), kRadius + blur, kRadius + blur);
        painter.drawPath(spread);
    }
    painter.setPen(QPen(ColorAssets::namedOr(QStringLiteral("SelectedBorderColor"), QColor(0, 0, 0, 40)), 1));
    painter.setBrush(ColorAssets::namedOr(QStringLiteral("SelectedBackgroundColor"), QColor(214, 232, 255)));
    painter.drawPath(card);
    painter.restore();
}
