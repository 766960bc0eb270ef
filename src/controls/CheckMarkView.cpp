#include "controls/CheckMarkView.h"

#include <QEasingCurve>
#include <QPaintEvent>
#include <QPainter>
#include <QVariantAnimation>

#include <cmath>

namespace {
constexpr double kStiffness = 100.0;
constexpr double kMass = 1.0;
constexpr double kSettleTolerance = 0.001;

QEasingCurve easeOut()
{
    QEasingCurve curve(QEasingCurve::BezierSpline);
    curve.addCubicBezierSegment(QPointF(0.0, 0.0), QPointF(0.58, 1.0), QPointF(1.0, 1.0));
    return curve;
}
} // namespace

CheckMarkView::CheckMarkView(QWidget *parent)
    : QWidget(parent),
      lineColor(QStringLiteral("#333333")),
      loadingLineColor(QStringLiteral("#333333"))
{
}

void CheckMarkView::paintEvent(QPaintEvent *event)
{
    const QRectF dirty = event->rect();
    originalRect = dirty.adjusted(lineWidth, lineWidth, -lineWidth, -lineWidth);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const ShapeLayer *layer : m_markLayers)
        layer->paint(painter);
}

void CheckMarkView::drawCircle(const QRectF &r)
{
    auto *layer = new ShapeLayer(this);
    layer->bounds = size();
    layer->position = r.center();
    QPainterPath oval;
    oval.addEllipse(r);
    layer->path = oval;
    layer->lineWidth = lineWidth;
    layer->strokeColor = lineColor;
    layer->fillColor = Qt::transparent;
    layer->strokeStart = 0;
    layer->strokeEnd = 0;

    auto *animation = new QVariantAnimation(layer);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    animation->setDuration(int(std::lround(duration * 1000.0)));
    animation->setEasingCurve(easeOut());
    connect(animation, &QVariantAnimation::valueChanged, this, [this, layer](const QVariant &value) {
        layer->strokeEnd = value.toDouble();
        update();
    });
    m_markLayers.push_back(layer);
    animation->start();
    update();
}

void CheckMarkView::drawCheckMark(const QRectF &r)
{
    drawCircle(originalRect.value_or(r));

    auto *layer = new ShapeLayer(this);
    layer->position = QPointF(r.center().x() + 0.25 * r.width(), r.center().y() - 0.15 * r.height());
    QPainterPath outline;
    outline.addRect(QRectF(0, 0, r.width() * 0.5, r.height() * 0.5));
    layer->path = outline;
    layer->lineWidth = 0;
    layer->fillColor = Qt::transparent;
    layer->strokeColor = lineColor;
    layer->strokeStart = 0;
    layer->strokeEnd = 0.36; // one side and part of the next: the two arms of the check
    layer->rotation = 2.4;

    QVariantAnimation *spring = checkMarkAnimation(layer);
    m_markLayers.push_back(layer);
    spring->start();
    update();
}

QVariantAnimation *CheckMarkView::checkMarkAnimation(ShapeLayer *layer)
{
    auto *animation = new QVariantAnimation(layer);
    const double settle = settlingDuration(damping);
    animation->setStartValue(0.0);
    animation->setEndValue(settle);
    animation->setDuration(int(std::lround(settle * 1000.0)));
    const double target = lineWidth;
    const double springDamping = damping;
    connect(animation, &QVariantAnimation::valueChanged, this,
            [this, layer, target, springDamping](const QVariant &time) {
                const double t = time.toDouble();
                layer->lineWidth = std::max(0.0, target * springValue(springDamping, t));
                update();
            });
    connect(animation, &QVariantAnimation::finished, this, [this, layer, target] {
        layer->lineWidth = target;
        update();
    });
    return animation;
}

void CheckMarkView::removeMarkLayers()
{
    for (ShapeLayer *layer : m_markLayers)
        delete layer;
    m_markLayers.clear();
    update();
}

double CheckMarkView::springValue(double damping, double t)
{
    const double omega0 = std::sqrt(kStiffness / kMass);
    const double zeta = damping / (2.0 * std::sqrt(kStiffness * kMass));
    if (t <= 0)
        return 0.0;
    if (zeta < 1.0) {
        const double omegaD = omega0 * std::sqrt(1.0 - zeta * zeta);
        const double envelope = std::exp(-zeta * omega0 * t);
        return 1.0 - envelope * (std::cos(omegaD * t) + (zeta * omega0 / omegaD) * std::sin(omegaD * t));
    }
    if (zeta == 1.0)
        return 1.0 - std::exp(-omega0 * t) * (1.0 + omega0 * t);
    const double root = omega0 * std::sqrt(zeta * zeta - 1.0);
    const double r1 = -zeta * omega0 + root;
    const double r2 = -zeta * omega0 - root;
    // x(0) = 0 and x'(0) = 0 for x = 1 + c1·e^(r1·t) + c2·e^(r2·t).
    const double c1 = r2 / (r1 - r2);
    const double c2 = -r1 / (r1 - r2);
    return 1.0 + c1 * std::exp(r1 * t) + c2 * std::exp(r2 * t);
}

double CheckMarkView::settlingDuration(double damping)
{
    const double omega0 = std::sqrt(kStiffness / kMass);
    const double zeta = damping / (2.0 * std::sqrt(kStiffness * kMass));
    if (zeta <= 0)
        return 10.0;
    if (zeta < 1.0)
        return std::min(10.0, -std::log(kSettleTolerance) / (zeta * omega0));
    double t = 0;
    while (t < 10.0 && std::abs(1.0 - springValue(damping, t)) >= kSettleTolerance)
        t += 1.0 / 120.0;
    return t;
}
