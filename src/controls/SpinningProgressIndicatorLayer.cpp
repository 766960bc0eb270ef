#include "controls/SpinningProgressIndicatorLayer.h"

#include <QPainter>
#include <QPainterPath>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <numbers>

SpinningProgressIndicatorLayer::SpinningProgressIndicatorLayer(QWidget *parent, int numFins)
    : QWidget(parent),
      m_foreColor(QColor(Qt::black))
{
    setAttribute(Qt::WA_TranslucentBackground);
    m_clock.start();
    setNumFins(numFins);
}

SpinningProgressIndicatorLayer::~SpinningProgressIndicatorLayer() { stopProgressAnimation(); }

void SpinningProgressIndicatorLayer::setDeterminate(bool determinate)
{
    m_isDeterminate = determinate;
    update();
}

void SpinningProgressIndicatorLayer::setMaxValue(double value)
{
    m_maxValue = value;
    update();
}

void SpinningProgressIndicatorLayer::setDoubleValue(double value)
{
    m_doubleValue = value;
    update();
}

void SpinningProgressIndicatorLayer::setForeColor(const std::optional<QColor> &color)
{
    m_foreColor = color;
    update();
}

void SpinningProgressIndicatorLayer::setFadeDownOpacity(float opacity)
{
    m_fadeDownOpacity = opacity;
    for (Fin &fin : m_finLayers)
        fin.opacity = opacity;
    update();
}

void SpinningProgressIndicatorLayer::setNumFins(int count)
{
    m_numFins = std::max(0, count);
    m_finLayers.assign(size_t(m_numFins), Fin{});
    for (int i = 0; i < m_numFins; ++i) {
        m_finLayers[size_t(i)].rotation = 2.0 * std::numbers::pi * i / m_numFins;
        m_finLayers[size_t(i)].opacity = m_fadeDownOpacity;
    }
    m_fposition = 0;
    layoutFins();
    update();
}

const std::vector<SpinningProgressIndicatorLayer::Fin> &SpinningProgressIndicatorLayer::finLayers() const
{
    // A hidden widget gets no resize events: lay out for the size it has now.
    if (m_laidOutSize != size())
        layoutFins();
    return m_finLayers;
}

void SpinningProgressIndicatorLayer::layoutFins() const
{
    m_laidOutSize = size();
    const double s = std::min(width(), height());
    const double finWidth = 0.095 * s;
    const double finHeight = 0.3 * s;
    const QPointF center(width() / 2.0, height() / 2.0);
    for (Fin &fin : m_finLayers) {
        fin.size = QSizeF(finWidth, finHeight);
        // The anchor below the fin pushes it outward by 0.63 of its height.
        fin.anchorPoint = QPointF(0.5, s > 0 ? (finHeight - s) * 0.9 / s : -0.63);
        fin.position = center;
        fin.cornerRadius = finWidth / 2.0;
    }
}

void SpinningProgressIndicatorLayer::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutFins();
    update();
}

float SpinningProgressIndicatorLayer::presentedOpacity(int index) const
{
    if (index < 0 || index >= m_numFins)
        return 0;
    const Fin &fin = m_finLayers[size_t(index)];
    if (fin.litAtMs < 0)
        return fin.opacity;
    const double t = std::clamp((m_clock.elapsed() - fin.litAtMs) / double(kFadeDurationMs), 0.0, 1.0);
    return float(1.0 + (fin.opacity - 1.0) * t);
}

void SpinningProgressIndicatorLayer::startProgressAnimation()
{
    if (m_isRunning)
        return;
    m_isRunning = true;
    if (!m_animationTimer) {
        m_animationTimer = new QTimer(this);
        m_animationTimer->setInterval(kStepIntervalMs);
        connect(m_animationTimer, &QTimer::timeout, this, &SpinningProgressIndicatorLayer::advancePosition);
    }
    m_animationTimer->start();
    update();
}

void SpinningProgressIndicatorLayer::stopProgressAnimation()
{
    m_isRunning = false;
    delete m_animationTimer;
    m_animationTimer = nullptr;
    update();
}

void SpinningProgressIndicatorLayer::advancePosition()
{
    if (m_numFins <= 0)
        return;
    m_fposition = (m_fposition + 1) % m_numFins;
    Fin &fin = m_finLayers[size_t(m_fposition)];
    // Lit at full opacity at once, then fading down to its settled value.
    fin.opacity = m_fadeDownOpacity;
    fin.litAtMs = m_clock.elapsed();
    update();
}

SpinningProgressIndicatorLayer::DeterminateGeometry SpinningProgressIndicatorLayer::determinateGeometry() const
{
    DeterminateGeometry g;
    g.side = std::min(width(), height());
    g.center = QPointF(width() / 2.0, height() / 2.0);
    g.lineWidth = 0.01 * g.side + 1.0;
    g.radius = (g.side - g.lineWidth) / 2.1;
    g.pieRadius = g.radius - 2.0 * g.lineWidth;
    // No turn at all for a missing maximum; never more than one.
    g.fraction = m_maxValue > 0 ? std::clamp(m_doubleValue / m_maxValue, 0.0, 1.0) : 0.0;
    return g;
}

void SpinningProgressIndicatorLayer::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor color = m_foreColor.value_or(palette().color(QPalette::WindowText));
    if (m_isDeterminate)
        paintDeterminate(painter, color);
    else
        paintFins(painter, color);
}

void SpinningProgressIndicatorLayer::paintDeterminate(QPainter &painter, const QColor &color) const
{
    const DeterminateGeometry g = determinateGeometry();
    if (g.radius <= 0)
        return;
    painter.setPen(QPen(color, g.lineWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(g.center, g.radius, g.radius);
    if (m_doubleValue <= 0 || g.fraction <= 0 || g.pieRadius <= 0)
        return;
    QPainterPath pie;
    pie.moveTo(g.center);
    pie.lineTo(g.center.x(), g.center.y() - g.pieRadius);
    const QRectF circle(g.center.x() - g.pieRadius, g.center.y() - g.pieRadius, 2 * g.pieRadius, 2 * g.pieRadius);
    pie.arcTo(circle, 90.0, -360.0 * g.fraction); // clockwise on screen
    pie.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.fillPath(pie, color);
}

void SpinningProgressIndicatorLayer::paintFins(QPainter &painter, const QColor &color) const
{
    painter.setPen(Qt::NoPen);
    const std::vector<Fin> &fins = finLayers();
    for (int i = 0; i < m_numFins; ++i) {
        const Fin &fin = fins[size_t(i)];
        const float opacity = presentedOpacity(i);
        if (opacity <= 0 || fin.size.isEmpty())
            continue;
        painter.save();
        painter.translate(fin.position);
        painter.rotate(qRadiansToDegrees(fin.rotation));
        painter.setOpacity(opacity);
        // Unit y points up for the anchor: the fin stands above it, pointing away from the centre.
        const QRectF body(-fin.anchorPoint.x() * fin.size.width(),
                          fin.anchorPoint.y() * fin.size.height() - fin.size.height(), fin.size.width(),
                          fin.size.height());
        painter.setBrush(color);
        painter.drawRoundedRect(body, fin.cornerRadius, fin.cornerRadius);
        painter.restore();
    }
}
