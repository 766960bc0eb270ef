#pragma once
// What one row of a history list shows, worked out from its item alone: the icon to load, the
// title, the second line, the comment, the date, the pin and the tag chips. The cells paint it;
// tests read it. Any thread except where noted.

#include "core/PBItem.h"
#include "history/RichTitle.h"

#include <QColor>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>

struct PasteItemRow {
    static constexpr int kTitleLength = 64;

    // Where the icon comes from; `iconKey` names it (an image name, application id, address or path).
    enum class IconSource { none, named, application, favicon, fileThumbnail, imageData, fileIcon };

    QUuid uuid;
    IconSource icon = IconSource::none;
    QString iconKey;
    // The image bytes of an image item, or of an other-kind clip that may be an image.
    QByteArray iconData;
    // Width of the icon column; 0 keeps the cell's own.
    int iconWidth = 0;
    QString title;
    // The title's formatting, for a text whose rich form the list shows.
    QList<RichTitle::Run> titleRuns;
    bool hasSecondLine = false;
    QString secondLine;
    std::optional<QString> comment;
    QString date;
    bool isSticky = false;
    // The fills of the item's own categories, in the item's order.
    QList<QColor> chips;
    int titleLines = 2;

    // The rich row (92 px) or the compact one (50 px, no second line, comment or date). A text
    // item's title takes the formatting of its rich title while "copyPlainText" is off.
    static PasteItemRow describe(const PBItem &item, bool compact, const RichTitle *richTitle = nullptr);
};

// The first `length` characters of the text, never splitting one (a grapheme cluster: a
// surrogate pair, a base letter and its marks, an emoji sequence).
QString leftGraphemes(const QString &text, int length);
// A search as a list without matches repeats it: its start, with "…" when it is longer.
QString shownSearch(const QString &keyword);
