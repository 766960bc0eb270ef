#include "preferences/SecondaryText.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace SecondaryText {

namespace {

double channel(double value) { return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4); }

double luminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

QColor over(const QColor &foreground, const QColor &background)
{
    const double alpha = foreground.alphaF();
    const QColor fg = foreground.toRgb();
    const QColor bg = background.toRgb();
    return QColor::fromRgbF(float(fg.redF() * alpha + bg.redF() * (1 - alpha)),
                            float(fg.greenF() * alpha + bg.greenF() * (1 - alpha)),
                            float(fg.blueF() * alpha + bg.blueF() * (1 - alpha)));
}

QColor mix(const QColor &from, const QColor &to, double share)
{
    const QColor a = from.toRgb();
    const QColor b = to.toRgb();
    return QColor::fromRgbF(
        float(a.redF() + (b.redF() - a.redF()) * share), float(a.greenF() + (b.greenF() - a.greenF()) * share),
        float(a.blueF() + (b.blueF() - a.blueF()) * share), float(a.alphaF() + (b.alphaF() - a.alphaF()) * share));
}

// Keeps its widget's colour of one role in step with the palette the widget inherits.
class Follower : public QObject {
public:
    Follower(QWidget *widget, Kind kind, QPalette::ColorRole role, QList<QPalette::ColorRole> backgrounds)
        : QObject(widget),
          m_widget(widget),
          m_kind(kind),
          m_role(role),
          m_backgrounds(std::move(backgrounds))
    {
        widget->installEventFilter(this);
        update();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Shown, it is where it draws: its foreground role follows the ancestor it was put in.
        if (watched == m_widget
            && (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange
                || event->type() == QEvent::Show))
            update();
        return false;
    }

private:
    void update()
    {
        if (m_updating)
            return;
        m_updating = true;
        // The inherited palette: the widget's own holds the colour set here.
        const QWidget *parent = m_widget->parentWidget();
        const QPalette inherited = parent ? parent->palette() : QApplication::palette(m_widget);
        QPalette palette = m_widget->palette();
        // A label draws in its foreground role: Text, not WindowText, inside an item view.
        const QPalette::ColorRole role = m_role == QPalette::NoRole ? m_widget->foregroundRole() : m_role;
        const QColor wanted = color(inherited, m_kind, role, m_backgrounds);
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, role, wanted);
        if (palette != m_widget->palette())
            m_widget->setPalette(palette);
        m_updating = false;
    }

    QWidget *m_widget;
    Kind m_kind;
    QPalette::ColorRole m_role;
    QList<QPalette::ColorRole> m_backgrounds;
    bool m_updating = false;
};

} // namespace

double contrastRatio(const QColor &foreground, const QColor &background)
{
    const double a = luminance(over(foreground, background));
    const double b = luminance(background);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readable(const QColor &preferred, const QColor &text, const QList<QColor> &backgrounds)
{
    // A little above the minimum, so rounding to 8-bit channels never takes it below.
    const auto reads = [&](const QColor &candidate) {
        return std::all_of(backgrounds.cbegin(), backgrounds.cend(), [&](const QColor &background) {
            return contrastRatio(candidate, background) >= kMinimumContrast + 0.1;
        });
    };
    constexpr int kSteps = 40;
    for (int step = 0; step < kSteps; ++step) {
        const QColor candidate = mix(preferred, text, double(step) / kSteps);
        if (reads(candidate))
            return candidate.toRgb();
    }
    return text;
}

QColor color(const QPalette &palette, Kind kind, QPalette::ColorRole role,
             const QList<QPalette::ColorRole> &backgrounds)
{
    const QPalette::ColorRole textRole =
        role == QPalette::PlaceholderText || role == QPalette::Text ? QPalette::Text : QPalette::WindowText;
    const QColor text = palette.color(QPalette::Active, textRole);
    QList<QColor> behind;
    for (QPalette::ColorRole background : backgrounds)
        behind.append(palette.color(QPalette::Active, background));
    if (backgrounds.isEmpty()) {
        // A pane is painted in the window colour or, inside a tab or group frame, in one that
        // styles derive from the button colour, a little lighter.
        const QColor button = palette.color(QPalette::Active, QPalette::Button);
        behind = {palette.color(QPalette::Active, QPalette::Window), button, button.lighter(130)};
    }
    const QColor preferred =
        kind == Kind::Warning ? QColor(0xC0, 0x39, 0x2B) : palette.color(QPalette::Disabled, textRole);
    return readable(preferred, text, behind);
}

void apply(QWidget *widget, Kind kind, QPalette::ColorRole role, const QList<QPalette::ColorRole> &backgrounds)
{
    new Follower(widget, kind, role, backgrounds);
}

} // namespace SecondaryText
