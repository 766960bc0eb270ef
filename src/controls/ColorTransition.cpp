#include "controls/ColorTransition.h"

#include <QVariantAnimation>

#include <cmath>

ColorTransition::ColorTransition(QObject *parent) : QObject(parent) {}

void ColorTransition::setValue(const std::optional<QColor> &color)
{
    removeAnimation();
    m_value = color;
    Q_EMIT changed();
}

QColor ColorTransition::presented() const
{
    if (m_animation)
        return m_animation->currentValue().value<QColor>();
    return m_value.value_or(QColor(Qt::transparent));
}

bool ColorTransition::animate(const QColor &target, double durationSeconds)
{
    if (m_value && sameColor(*m_value, target))
        return false;
    QColor from = m_value.value_or(target);
    if (!m_value)
        from.setAlpha(0);
    removeAnimation();
    m_animation = new QVariantAnimation(this);
    m_animation->setStartValue(from);
    m_animation->setEndValue(target);
    m_animation->setDuration(std::max(0, int(std::lround(durationSeconds * 1000.0))));
    connect(m_animation, &QVariantAnimation::valueChanged, this, &ColorTransition::changed);
    m_value = target;
    m_animation->start();
    Q_EMIT changed();
    return true;
}

double ColorTransition::animationDuration() const { return m_animation ? m_animation->duration() / 1000.0 : -1.0; }

void ColorTransition::removeAnimation()
{
    if (!m_animation)
        return;
    delete m_animation;
    m_animation = nullptr;
    Q_EMIT changed();
}
