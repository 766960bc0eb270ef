#include "core/PBDefaultCategory.h"

#include "platform/ColorAssets.h"
#include "platform/Strings.h"

#include <array>

namespace {
struct KindInfo {
    PBDefaultCategory kind;
    const char *rawValue;
    const char *id;
    const char *nameKey;
    const char *backgroundName;
    const char *foregroundName;
};

constexpr std::array<KindInfo, 10> kKinds = {{
    {PBDefaultCategory::unknown, "unknown", "-1", "Category.unknown", "Midnight Blue", "Clouds"},
    {PBDefaultCategory::custom, "custom", "100", "Category.unknown", "Midnight Blue", "Clouds"},
    {PBDefaultCategory::all, "all", "0", "Category.all", "Concrete", "Midnight Blue"},
    {PBDefaultCategory::text, "text", "1", "Category.text", "Alizarin", "Clouds"},
    {PBDefaultCategory::link, "link", "2", "Category.link", "Carrot", "Clouds"},
    {PBDefaultCategory::image, "image", "3", "Category.image", "Sun Flower", "Midnight Blue"},
    {PBDefaultCategory::file, "file", "4", "Category.file", "Nephritis", "Clouds"},
    {PBDefaultCategory::note, "note", "5", "Category.note", "Perter River", "Clouds"},
    {PBDefaultCategory::other, "other", "6", "Category.other", "Amethyst", "Clouds"},
    {PBDefaultCategory::email, "email", "7", "Category.email", "Sliver", "Midnight Blue"},
}};

const KindInfo &info(PBDefaultCategory kind) { return kKinds[static_cast<size_t>(kind)]; }

// The platform's dark gray: a third of full intensity.
QColor darkGray() { return QColor::fromRgbF(1.0f / 3, 1.0f / 3, 1.0f / 3); }
} // namespace

namespace PBDefaultCategories {
const QList<PBDefaultCategory> &allCases()
{
    static const QList<PBDefaultCategory> kinds = [] {
        QList<PBDefaultCategory> list;
        for (const KindInfo &entry : kKinds)
            list.append(entry.kind);
        return list;
    }();
    return kinds;
}
} // namespace PBDefaultCategories

QString rawValue(PBDefaultCategory kind) { return QString::fromLatin1(info(kind).rawValue); }

std::optional<PBDefaultCategory> categoryKind(const QString &rawValue)
{
    for (const KindInfo &entry : kKinds) {
        if (rawValue == QLatin1String(entry.rawValue))
            return entry.kind;
    }
    return std::nullopt;
}

QString categoryId(PBDefaultCategory kind) { return QString::fromLatin1(info(kind).id); }

QString localizedName(PBDefaultCategory kind) { return Strings::text(info(kind).nameKey); }

QString defaultBackgroundColorName(PBDefaultCategory kind) { return QString::fromLatin1(info(kind).backgroundName); }

QString defaultForegroundColorName(PBDefaultCategory kind) { return QString::fromLatin1(info(kind).foregroundName); }

QColor defaultBackgroundColor(PBDefaultCategory kind)
{
    if (kind == PBDefaultCategory::unknown || kind == PBDefaultCategory::custom)
        return darkGray();
    return ColorAssets::namedOr(defaultBackgroundColorName(kind), darkGray());
}

QColor defaultForegroundColor(PBDefaultCategory kind)
{
    return ColorAssets::namedOr(defaultForegroundColorName(kind), QColor(Qt::white));
}

bool isContentKind(PBDefaultCategory kind)
{
    return kind != PBDefaultCategory::custom && kind != PBDefaultCategory::all;
}
