#include "history/PasteItemRowView.h"

#include "platform/ColorAssets.h"

#include <QPainter>
#include <QPainterPath>
#include <QPaintDevice>
#include <QPixmap>
#include <QPixmapCache>

namespace {

// How far the selection's shadow reaches beyond the row.
constexpr int kShadowReach = 8;

void paintCard(QPainter &painter, const QRect &rowRect, bool selected, const QColor &border, const QColor &background,
               const QColor &shadow)
{
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath card;
    card.addRoundedRect(QRectF(PasteItemRowView::cardRect(rowRect)), PasteItemRowView::kRadius,
                        PasteItemRowView::kRadius);
    if (selected) {
        // The shadow: a few widening, fading copies of the card offset down and right.
        painter.setPen(Qt::NoPen);
        for (int blur = 4; blur >= 1; --blur) {
            QColor layer = shadow;
            layer.setAlphaF(shadow.alphaF() / 4.0);
            painter.setBrush(layer);
            QPainterPath spread;
            spread.addRoundedRect(
                QRectF(PasteItemRowView::cardRect(rowRect)).translated(2, 4).adjusted(-blur, -blur, blur, blur),
                PasteItemRowView::kRadius + blur, PasteItemRowView::kRadius + blur);
            painter.drawPath(spread);
        }
    }
    painter.setPen(QPen(border, 1));
    painter.setBrush(background);
    painter.drawPath(card);
}

} // namespace

void PasteItemRowView::paint(QPainter &painter, const QRect &rowRect, bool selected)
{
    const QColor border = selected ? ColorAssets::namedOr(QStringLiteral("SelectedBorderColor"), QColor(0, 0, 0, 40))
                                   : ColorAssets::namedOr(QStringLiteral("NormalBorderColor"), QColor(0, 0, 0, 30));
    const QColor background =
        selected ? ColorAssets::namedOr(QStringLiteral("SelectedBackgroundColor"), QColor(214, 232, 255))
                 : ColorAssets::namedOr(QStringLiteral("NormalBackgroundColor"), QColor(255, 255, 255));
    const QColor shadow =
        selected ? ColorAssets::namedOr(QStringLiteral("SelectedShadowColor"), QColor(0, 0, 0, 60)) : QColor();
    // Stroking the antialiased card is the dearest part of a row: every row of one size and look
    // draws one cached picture of it.
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QString key = QStringLiteral("tavi-row-card:%1x%2:%3:%4:%5:%6:%7")
                            .arg(rowRect.width())
                            .arg(rowRect.height())
                            .arg(ratio)
                            .arg(border.rgba())
                            .arg(background.rgba())
                            .arg(shadow.rgba())
                            .arg(selected);
    const QRect area =
        QRect(QPoint(0, 0), rowRect.size()).adjusted(-kShadowReach, -kShadowReach, kShadowReach, kShadowReach);
    QPixmap picture;
    if (!QPixmapCache::find(key, &picture)) {
        picture = QPixmap(area.size() * ratio);
        picture.setDevicePixelRatio(ratio);
        picture.fill(Qt::transparent);
        QPainter cardPainter(&picture);
        cardPainter.translate(-area.topLeft());
        paintCard(cardPainter, QRect(QPoint(0, 0), rowRect.size()), selected, border, background, shadow);
        cardPainter.end();
        QPixmapCache::insert(key, picture);
    }
    painter.drawPixmap(rowRect.topLeft() + area.topLeft(), picture);
}
