#include "history/PasteItemRow.h"

#include "capture/ItemTitle.h"
#include "capture/PBItemRecordConversion.h"
#include "core/DateExtensions.h"
#include "core/TaviSettings.h"

#include <QBuffer>
#include <QImageReader>
#include <QTextBoundaryFinder>

namespace {

// Where the text may be cut without splitting a character.
QList<qsizetype> characterBoundaries(const QString &text, qsizetype upTo)
{
    QList<qsizetype> boundaries;
    // Only the start is looked at: a long text costs no more than a short one. The extra units
    // let the boundary right after `upTo` be seen as one.
    const QString start = text.left(upTo + 32);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, start);
    for (qsizetype at = finder.toNextBoundary(); at > 0 && at <= upTo; at = finder.toNextBoundary()) {
        // The end of the looked-at start is no boundary of the whole text.
        if (at == start.size() && start.size() < text.size())
            break;
        boundaries.append(at);
    }
    return boundaries;
}

QString oneLine(QString text)
{
    text.replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '))
        .replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

void setApplicationIcon(PasteItemRow &row, const PBItem &item)
{
    const auto &app = item.sourceApp();
    if (app && app->bundleId && !app->bundleId->isEmpty()) {
        row.icon = PasteItemRow::IconSource::application;
        row.iconKey = *app->bundleId;
    } else {
        row.icon = PasteItemRow::IconSource::named;
        row.iconKey = QStringLiteral("ic_appicon_missing");
    }
}

// Whether the bytes start as an image format does (only the header is read).
bool looksLikeImage(const QByteArray &data)
{
    if (data.isEmpty())
        return false;
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    return QImageReader(&buffer).canRead();
}

void setNamed(PasteItemRow &row, const char *name)
{
    row.icon = PasteItemRow::IconSource::named;
    row.iconKey = QString::fromLatin1(name);
}

} // namespace

QString leftGraphemes(const QString &text, int length)
{
    if (text.size() <= length)
        return text;
    // A character takes at least one code unit: the first `length` of them end within this span
    // unless clusters are long, so look a little further.
    const QList<qsizetype> boundaries = characterBoundaries(text, qsizetype(length) * 8);
    if (boundaries.size() <= length)
        return boundaries.isEmpty() ? QString() : text.left(boundaries.last());
    return text.left(boundaries.at(length - 1));
}

QString shownSearch(const QString &keyword)
{
    constexpr int kShownLength = 40;
    const QString shown = leftGraphemes(keyword, kShownLength);
    return shown.size() < keyword.size() ? shown + QStringLiteral("\u2026") : shown;
}

PasteItemRow PasteItemRow::describe(const PBItem &item, bool compact, const RichTitle *richTitle)
{
    PasteItemRow row;
    row.uuid = item.uuid();
    row.isSticky = item.isSticky();
    const auto &provider = item.dataProvider();
    for (const PBCategory &category : item.categories()) {
        switch (category.type()) {
        case PBDefaultCategory::text:
            row.iconWidth = 36;
            row.hasSecondLine = false;
            setApplicationIcon(row, item);
            break;
        case PBDefaultCategory::link:
            row.iconWidth = 24;
            row.hasSecondLine = false;
            setNamed(row, "website_default");
            if (provider) {
                // Only a web address asks for its site's icon.
                const QUrl link(provider->representedText().trimmed(), QUrl::StrictMode);
                const QUrl favicon = provider->accosicatedData().toUrl();
                const bool web = link.scheme() == QLatin1String("http") || link.scheme() == QLatin1String("https");
                if (web && favicon.isValid() && !favicon.isEmpty()) {
                    row.icon = IconSource::favicon;
                    row.iconKey = favicon.toString();
                }
            } else {
                setNamed(row, "ic_appicon_missing");
            }
            break;
        case PBDefaultCategory::image:
            row.iconWidth = 50;
            row.hasSecondLine = false;
            if (const auto *file = provider ? provider->as<PBFileItemProvider>() : nullptr) {
                row.hasSecondLine = true;
                row.secondLine = file->url().toString();
                row.icon = IconSource::fileThumbnail;
                row.iconKey = file->url().toString();
            } else if (const auto *image = provider ? provider->as<PBImageItemProvider>() : nullptr) {
                row.icon = IconSource::imageData;
                row.iconData = image->accosicatedData().toByteArray();
            } else {
                setNamed(row, "ic_appicon_missing");
            }
            break;
        case PBDefaultCategory::file:
            row.iconWidth = 36;
            row.hasSecondLine = true;
            if (const auto *file = provider ? provider->as<PBFileItemProvider>() : nullptr) {
                row.secondLine = file->url().toString();
                row.icon = IconSource::fileIcon;
                row.iconKey = file->url().toString();
            } else {
                setNamed(row, "ic_appicon_missing");
            }
            break;
        case PBDefaultCategory::note:
            row.hasSecondLine = true;
            setNamed(row, "noteIcon");
            if (const auto *note = provider ? provider->as<PBNoteItemProvider>() : nullptr) {
                if (const auto body = note->body())
                    row.secondLine = oneLine(leftGraphemes(*body, 400));
            }
            break;
        case PBDefaultCategory::other:
            row.iconWidth = 36;
            row.hasSecondLine = false;
            if (const auto *other = provider ? provider->as<PBOtherItemProvider>() : nullptr) {
                const QByteArray data = other->accosicatedData().toByteArray();
                if (looksLikeImage(data)) {
                    row.icon = IconSource::imageData;
                    row.iconData = data;
                } else {
                    setApplicationIcon(row, item);
                }
            }
            break;
        case PBDefaultCategory::email:
            row.iconWidth = 36;
            row.hasSecondLine = false;
            setNamed(row, "email");
            break;
        case PBDefaultCategory::unknown:
        case PBDefaultCategory::custom:
        case PBDefaultCategory::all: break;
        }
        if (category.type() == PBDefaultCategory::custom)
            row.chips.append(category.backgroundColor());
    }
    // A reused row must never keep another item's icon: an item no kind gave one shows the
    // missing-icon image.
    if (row.icon == IconSource::none)
        setNamed(row, "ic_appicon_missing");

    // A rich title formats the plain one as the start of the stored rich text.
    row.title = itemTitle(item, kTitleLength);
    const bool rich = provider && provider->is<PBTextItemProvider>() && !TaviSettings::shared().alwaysCopyPlainText();
    if (rich && richTitle)
        row.titleRuns = richTitle->runsFor(row.title);
    if (compact) {
        row.hasSecondLine = false;
        row.secondLine.clear();
        row.titleLines = row.chips.isEmpty() && !row.isSticky ? 2 : 1;
        return row;
    }
    row.titleLines = row.hasSecondLine ? 1 : 2;
    if (!row.hasSecondLine)
        row.secondLine.clear();
    row.date = displayLabel(item.modifiedTime());
    if (item.comment())
        row.comment = QStringLiteral("\U0001F3F7 ") + *item.comment();
    return row;
}
