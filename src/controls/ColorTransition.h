#pragma once
// One animatable colour of a drawn element (a layer's background, border or shadow colour). The
// model value changes at once; the shown value follows it over the animation's duration. An
// animation stays attached after it ends (its end value keeps showing) until it is removed or
// replaced. GUI thread.

#include <QColor>
#include <QObject>

#include <optional>

class QVariantAnimation;

class ColorTransition : public QObject {
    Q_OBJECT
public:
    explicit ColorTransition(QObject *parent = nullptr);

    std::optional<QColor> value() const { return m_value; }
    // Sets the model value without an animation; an attached animation is removed.
    void setValue(const std::optional<QColor> &color);
    // The colour to draw now: the animation's current value while one is attached, else the model
    // value, else transparent.
    QColor presented() const;

    // Animates from the current value to target unless the current value already equals it
    // (then nothing changes). Replaces an attached animation. Returns whether one was added.
    bool animate(const QColor &target, double durationSeconds);

    bool hasAnimation() const { return m_animation != nullptr; }
    // Duration of the attached animation in seconds; negative without one.
    double animationDuration() const;
    void removeAnimation();

    static bool sameColor(const QColor &a, const QColor &b) { return a.rgba64() == b.rgba64(); }

Q_SIGNALS:
    void changed();

private:
    std::optional<QColor> m_value;
    QVariantAnimation *m_animation = nullptr;
};
