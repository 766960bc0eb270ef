#include "controls/ShapeLayer.h"

#include <QLineF>
#include <QPainter>

#include <algorithm>

void ShapeLayer::paint(QPainter &painter) const
{
    painter.save();
    painter.translate(position);
    painter.rotate(qRadiansToDegrees(rotation));
    painter.translate(-bounds.width() / 2.0, -bounds.height() / 2.0);
    if (fillColor.alpha() > 0)
        painter.fillPath(path, fillColor);
    if (lineWidth > 0 && strokeColor.alpha() > 0 && strokeEnd > strokeStart) {
        QPen pen(strokeColor, lineWidth);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.strokePath(trimmed(path, strokeStart, strokeEnd), pen);
    }
    painter.restore();
}

QPainterPath ShapeLayer::trimmed(const QPainterPath &path, qreal start, qreal end)
{
    start = std::clamp<qreal>(start, 0, 1);
    end = std::clamp<qreal>(end, 0, 1);
    QPainterPath result;
    if (end <= start)
        return result;
    if (start == 0 && end == 1)
        return path;
    const QList<QPolygonF> polygons = path.toSubpathPolygons();
    qreal total = 0;
    for (const QPolygonF &polygon : polygons)
        for (qsizetype i = 1; i < polygon.size(); ++i)
            total += QLineF(polygon[i - 1], polygon[i]).length();
    const qreal from = start * total;
    const qreal to = end * total;
    qreal walked = 0;
    for (const QPolygonF &polygon : polygons) {
        bool drawing = false;
        for (qsizetype i = 1; i < polygon.size(); ++i) {
            const QLineF segment(polygon[i - 1], polygon[i]);
            const qreal length = segment.length();
            const qreal segmentStart = walked;
            walked += length;
            if (walked <= from || segmentStart >= to || length <= 0) {
                drawing = false;
                continue;
            }
            const qreal a = std::max<qreal>(0, (from - segmentStart) / length);
            const qreal b = std::min<qreal>(1, (to - segmentStart) / length);
            if (!drawing) {
                result.moveTo(segment.pointAt(a));
                drawing = true;
            }
            result.lineTo(segment.pointAt(b));
        }
    }
    return result;
}
