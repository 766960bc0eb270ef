#pragma once
// Help texts, placeholders and warnings of the panes: quieter (or redder) than the main text, yet
// readable against their background at kMinimumContrast (the WCAG contrast of relative
// luminances) whatever the theme. GUI thread.

#include <QColor>
#include <QList>
#include <QPalette>

class QWidget;

namespace SecondaryText {

inline constexpr double kMinimumContrast = 4.5;

enum class Kind { Help, Warning };

// 1 (none) to 21 (black on white); a colour with alpha counts as painted over the other.
double contrastRatio(const QColor &foreground, const QColor &background);
// `preferred` when it reads at kMinimumContrast on every background, else the first colour on
// the way from it to `text` that does.
QColor readable(const QColor &preferred, const QColor &text, const QList<QColor> &backgrounds);
// The colour of the kind for a role of the palette (WindowText for a label on a pane, Text in
// an item view, PlaceholderText for a field) on the backgrounds given; none given: those a pane is painted in.
QColor color(const QPalette &palette, Kind kind, QPalette::ColorRole role,
             const QList<QPalette::ColorRole> &backgrounds);
// Gives the widget's role (NoRole: the one it draws its text in) that colour, now and whenever
// the palette it inherits changes.
void apply(QWidget *widget, Kind kind, QPalette::ColorRole role = QPalette::NoRole,
           const QList<QPalette::ColorRole> &backgrounds = {});

} // namespace SecondaryText
