#pragma once
// The animated "done" mark of the feedback panel: a circle whose outline draws itself in and a
// check mark that springs into its line width. Both are mark layers of the view; the view records,
// when it is painted, the rectangle the circle uses. GUI thread.

#include "controls/ShapeLayer.h"

#include <QColor>
#include <QRectF>
#include <QWidget>

#include <optional>
#include <vector>

class QVariantAnimation;

class CheckMarkView : public QWidget {
    Q_OBJECT
public:
    explicit CheckMarkView(QWidget *parent = nullptr);

    double lineWidth = 2;
    QColor lineColor;
    QColor loadingLineColor;
    double duration = 0.5;
    double damping = 10;
    // The circle's rectangle: the painted rectangle inset by lineWidth, once painted.
    std::optional<QRectF> originalRect;

    // Adds the circle (in originalRect) and the check mark for r; the panel passes originalRect.
    virtual void drawCheckMark(const QRectF &r);
    virtual void drawCircle(const QRectF &r);
    // The spring that grows the check's line width from 0 to lineWidth, not yet started.
    virtual QVariantAnimation *checkMarkAnimation(ShapeLayer *layer);
    virtual void removeMarkLayers();

    const std::vector<ShapeLayer *> &markLayers() const { return m_markLayers; }

    // Position of a damped spring released from 0 towards 1 (mass 1, stiffness 100) after t seconds,
    // and the time after which it stays within a thousandth of its end.
    static double springValue(double damping, double t);
    static double settlingDuration(double damping);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::vector<ShapeLayer *> m_markLayers;
};
