#pragma once
// A stroked path drawn by its owner view, placed like a layer: its bounds are centred on
// position, rotated about it, and only the part of the outline between strokeStart and strokeEnd
// (fractions of its length) is stroked. Its animations are its children. GUI thread.

#include <QColor>
#include <QObject>
#include <QPainterPath>
#include <QPointF>
#include <QSizeF>

class QPainter;

class ShapeLayer : public QObject {
    Q_OBJECT
public:
    explicit ShapeLayer(QObject *parent = nullptr) : QObject(parent) {}

    QPainterPath path;
    QSizeF bounds;
    QPointF position;
    qreal rotation = 0; // radians
    qreal lineWidth = 1;
    QColor strokeColor = Qt::black;
    QColor fillColor = Qt::transparent;
    qreal strokeStart = 0;
    qreal strokeEnd = 1;

    void paint(QPainter &painter) const;

    // The part of path between the fractions start and end of its length, as open polylines.
    static QPainterPath trimmed(const QPainterPath &path, qreal start, qreal end);
};
