#include "capture/ItemTitle.h"

#include "capture/PBItemRecordConversion.h"
#include "core/StringExtensions.h"
#include "platform/Strings.h"

#include <QUuid>

namespace {
QString imageTitle(const PBImageItemProvider &image)
{
    // Images stored by earlier versions are named with a random id.
    const QString &name = image.representedText();
    if (!name.trimmed().isEmpty() && QUuid::fromString(name).isNull())
        return name;
    const QSize size = image.pixelSize();
    if (size.isEmpty())
        return Strings::text("Item.Title.Image");
    return Strings::text("Item.Title.ImageSize").arg(size.width()).arg(size.height());
}
} // namespace

QString itemTitle(const PBItem &item, int length)
{
    const std::optional<PBItemProvider> &provider = item.dataProvider();
    if (!provider)
        return {};
    if (const auto *image = provider->as<PBImageItemProvider>())
        return oneLineTitle(imageTitle(*image), length);
    const QString text = provider->representedText();
    // A listed text this long may be only the start of the copy.
    const bool start = !provider->is<PBNoteItemProvider>() && text.size() >= kListTextLength;
    return oneLineTitle(titleText(text, start ? TextExtent::start : TextExtent::whole), length);
}
