#include "platform/ColorAssets.h"

#include <QHash>

namespace {
const QList<std::pair<QString, QRgb>> &table()
{
    static const QList<std::pair<QString, QRgb>> colors = {
        {QStringLiteral("Pomegranate"), 0xC0392B},  {QStringLiteral("Alizarin"), 0xE74C3C},
        {QStringLiteral("Pumpkin"), 0xD35400},      {QStringLiteral("Carrot"), 0xE67E22},
        {QStringLiteral("Orange"), 0xF39C12},       {QStringLiteral("Sun Flower"), 0xF1C40F},
        {QStringLiteral("Wisteria"), 0x8E44AD},     {QStringLiteral("Amethyst"), 0x9B59B6},
        {QStringLiteral("Nephritis"), 0x27AE60},    {QStringLiteral("Emerald"), 0x2ECC71},
        {QStringLiteral("Green Sea"), 0x16A085},    {QStringLiteral("Belize Hole"), 0x2980B9},
        {QStringLiteral("Perter River"), 0x3498DB}, {QStringLiteral("Turquoise"), 0x1ABC9C},
        {QStringLiteral("WetAsphalt"), 0x34495E},   {QStringLiteral("Midnight Blue"), 0x2C3E50},
        {QStringLiteral("Asbestos"), 0x7F8C8D},     {QStringLiteral("Concrete"), 0x95A5A6},
        {QStringLiteral("Sliver"), 0xBDC3C7},       {QStringLiteral("Clouds"), 0xECF0F1},
    };
    return colors;
}
} // namespace

namespace ColorAssets {

std::optional<QColor> named(const QString &name)
{
    for (const auto &[assetName, rgb] : table()) {
        if (assetName == name)
            return QColor::fromRgb(rgb);
    }
    return std::nullopt;
}

QColor namedOr(const QString &name, const QColor &fallback) { return named(name).value_or(fallback); }

QStringList names()
{
    QStringList result;
    for (const auto &entry : table())
        result.append(entry.first);
    return result;
}

} // namespace ColorAssets
