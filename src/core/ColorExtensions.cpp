#include "core/ColorExtensions.h"

#include <algorithm>
#include <cmath>

namespace {
int hexDigitValue(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Strict base-16 parse of a signed 64-bit integer: [+-]digits, no blanks, no prefix.
std::optional<qint64> parseHexInteger(QStringView text)
{
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    constexpr quint64 kMaxMagnitude = quint64(1) << 63; // |INT64_MIN|
    quint64 magnitude = 0;
    for (QChar c : text) {
        const int digit = hexDigitValue(c);
        if (digit < 0 || magnitude > (kMaxMagnitude >> 4))
            return std::nullopt;
        magnitude = (magnitude << 4) | quint64(digit);
        if (magnitude > kMaxMagnitude)
            return std::nullopt;
    }
    if (!negative && magnitude == kMaxMagnitude)
        return std::nullopt;
    return negative ? qint64(0 - magnitude) : qint64(magnitude);
}

int toByte(float component)
{
    if (std::isnan(component))
        return 0;
    return int(std::lround(std::clamp(component, 0.0f, 1.0f) * 255.0f));
}
} // namespace

std::optional<QColor> colorWithHexString(const QString &hexString)
{
    QStringView rest(hexString);
    if (rest.startsWith(u'#'))
        rest = rest.mid(1);
    else if (rest.startsWith(u"0x") || rest.startsWith(u"0X"))
        rest = rest.mid(2);
    const auto value = parseHexInteger(rest);
    if (!value)
        return std::nullopt;
    const quint64 bits = quint64(*value);
    return QColor::fromRgbF(float((bits >> 16) & 0xFF) / 255.0f, float((bits >> 8) & 0xFF) / 255.0f,
                            float(bits & 0xFF) / 255.0f, 1.0f);
}

QString hexString(const QColor &color)
{
    const QColor rgb = color.spec() == QColor::ExtendedRgb ? color : color.toRgb();
    return QStringLiteral("#%1%2%3")
        .arg(toByte(rgb.redF()), 2, 16, QLatin1Char('0'))
        .arg(toByte(rgb.greenF()), 2, 16, QLatin1Char('0'))
        .arg(toByte(rgb.blueF()), 2, 16, QLatin1Char('0'))
        .toUpper();
}

QColor colorWithRGB(quint32 rgb)
{
    return QColor::fromRgbF(float((rgb >> 16) & 0xFF) / 255.0f, float((rgb >> 8) & 0xFF) / 255.0f,
                            float(rgb & 0xFF) / 255.0f, 1.0f);
}
