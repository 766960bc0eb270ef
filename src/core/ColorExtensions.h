#pragma once
// Category colours as hex strings ("#RRGGBB") and back. Any thread.

#include <QColor>
#include <QString>

#include <optional>

// Reads "#RRGGBB", "0xRRGGBB" or "0XRRGGBB" (one prefix dropped): the rest is a signed 64-bit
// hexadecimal number with an optional sign and nothing else; its low 24 bits give red, green and
// blue. Nothing when the text does not parse.
std::optional<QColor> colorWithHexString(const QString &hexString);

// "#RRGGBB" of the colour's RGB components, each clamped to 0..1 and rounded half away from zero.
QString hexString(const QColor &color);

// Red from bits 16-23, green from 8-15, blue from 0-7.
QColor colorWithRGB(quint32 rgb);
