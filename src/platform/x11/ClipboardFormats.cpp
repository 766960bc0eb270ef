#include "platform/x11/ClipboardFormats.h"

#include "platform/UniformType.h"

#include <QMimeData>
#include <QStringDecoder>
#include <QUrl>

namespace ClipboardFormats {
namespace {

enum class Kind { None, Text, Html, Rtf, Files, Image, Hint };

// Within a kind, the earlier target is preferred.
const QList<QByteArray> &preference(Kind kind)
{
    static const QList<QByteArray> text = {"text/plain;charset=utf-8", "UTF8_STRING", "text/plain", "STRING"};
    static const QList<QByteArray> html = {"text/html"};
    static const QList<QByteArray> rtf = {"text/rtf", "application/rtf", "text/richtext"};
    static const QList<QByteArray> files = {"text/uri-list", "x-special/gnome-copied-files"};
    static const QList<QByteArray> image = {"image/png", "image/tiff", "image/jpeg",
                                            "image/gif", "image/bmp",  "image/webp"};
    static const QList<QByteArray> hint = {kPasswordHint};
    static const QList<QByteArray> none;
    switch (kind) {
    case Kind::Text: return text;
    case Kind::Html: return html;
    case Kind::Rtf: return rtf;
    case Kind::Files: return files;
    case Kind::Image: return image;
    case Kind::Hint: return hint;
    case Kind::None: break;
    }
    return none;
}

constexpr Kind kKinds[] = {Kind::Text, Kind::Html, Kind::Rtf, Kind::Files, Kind::Image, Kind::Hint};

QByteArray normalized(const QByteArray &target)
{
    QByteArray result = target.trimmed();
    result.replace(' ', "");
    // Atom names are case-sensitive, MIME parameters are not; UTF8_STRING and STRING stay as they are.
    if (result.contains('/'))
        result = result.toLower();
    return result;
}

Kind kindOf(const QByteArray &target)
{
    const QByteArray name = normalized(target);
    for (Kind kind : kKinds) {
        if (preference(kind).contains(name))
            return kind;
    }
    return Kind::None;
}

// The offered target chosen for a kind: the most preferred one offered.
QByteArray chosenTarget(const QList<QByteArray> &offered, Kind kind)
{
    for (const QByteArray &wanted : preference(kind)) {
        for (const QByteArray &target : offered) {
            if (normalized(target) == wanted)
                return target;
        }
    }
    return {};
}

QByteArray withoutTrailingNuls(QByteArray bytes)
{
    while (bytes.endsWith('\0'))
        bytes.chop(1);
    return bytes;
}

QByteArray textAsUtf8(const QByteArray &target, const QByteArray &bytes)
{
    const QByteArray clean = withoutTrailingNuls(bytes);
    if (normalized(target) == "STRING")
        return QString::fromLatin1(clean).toUtf8();
    // UTF-8 whatever the target says: invalid sequences and NULs become U+FFFD, so the copy is
    // kept as text rather than dropped or read as another encoding.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(clean);
    const bool hasNul = clean.contains('\0');
    if (!utf8.hasError() && !hasNul)
        return clean;
    if (hasNul)
        text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    return text.toUtf8();
}

QByteArray htmlAsUtf8(const QByteArray &bytes)
{
    if (bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff")) {
        QStringDecoder decoder(bytes.startsWith("\xff\xfe") ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
        QString text = decoder.decode(bytes);
        while (text.endsWith(QChar(u'\0')))
            text.chop(1);
        return text.toUtf8();
    }
    return withoutTrailingNuls(bytes);
}

QList<QByteArray> fileUrls(const QByteArray &target, const QByteArray &bytes)
{
    QList<QByteArray> result;
    const bool gnome = normalized(target) == "x-special/gnome-copied-files";
    const QList<QByteArray> lines = withoutTrailingNuls(bytes).split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const QByteArray line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        if (gnome && i == 0 && (line == "copy" || line == "cut"))
            continue;
        const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
        if (url.isValid() && url.isLocalFile())
            result.append(url.toEncoded());
    }
    return result;
}

QString mimeFormatFor(const QString &type)
{
    const QString mime = UniformType::preferredMimeType(type);
    return mime.isEmpty() ? type : mime;
}

} // namespace

QList<QByteArray> targetsToRead(const QList<QByteArray> &offered)
{
    QList<QByteArray> chosen;
    for (Kind kind : kKinds) {
        const QByteArray target = chosenTarget(offered, kind);
        if (!target.isEmpty())
            chosen.append(target);
    }
    QList<QByteArray> result;
    for (const QByteArray &target : offered) {
        if (chosen.contains(target) && !result.contains(target))
            result.insert(kindOf(target) == Kind::Hint ? 0 : result.size(), target);
    }
    return result;
}

bool marksConcealed(const QByteArray &target, const QByteArray &bytes)
{
    return kindOf(target) == Kind::Hint && withoutTrailingNuls(bytes).trimmed() == "secret";
}

QList<PasteboardItem> concealedItems()
{
    PasteboardItem item;
    item.setData(PasteboardType::concealed, QByteArray("secret"));
    return {item};
}

QList<PasteboardItem> itemsFromTargets(const QList<QByteArray> &offered, const QHash<QByteArray, QByteArray> &read)
{
    PasteboardItem first;
    QList<QByteArray> files;
    bool concealed = false;
    QHash<Kind, QByteArray> chosen;
    for (Kind kind : kKinds)
        chosen.insert(kind, chosenTarget(offered, kind));

    for (const QByteArray &target : offered) {
        const Kind kind = kindOf(target);
        if (kind == Kind::None || chosen.value(kind) != target || !read.contains(target))
            continue;
        const QByteArray &bytes = read[target];
        switch (kind) {
        case Kind::Text: first.setData(PasteboardType::string, textAsUtf8(target, bytes)); break;
        case Kind::Html: first.setData(PasteboardType::html, htmlAsUtf8(bytes)); break;
        case Kind::Rtf: first.setData(PasteboardType::rtf, withoutTrailingNuls(bytes)); break;
        case Kind::Image:
            first.setData(UniformType::identifierForMimeType(QString::fromLatin1(normalized(target))), bytes);
            break;
        case Kind::Files: files = fileUrls(target, bytes); break;
        case Kind::Hint: concealed = marksConcealed(target, bytes); break;
        case Kind::None: break;
        }
    }

    QList<PasteboardItem> items;
    if (!files.isEmpty()) {
        // One item per file, the file URL first; the other representations stay with the first file.
        PasteboardItem head;
        head.setData(PasteboardType::fileURL, files.first());
        for (const auto &[type, data] : first.entries())
            head.setData(type, data);
        items.append(head);
        for (int i = 1; i < files.size(); ++i) {
            PasteboardItem item;
            item.setData(PasteboardType::fileURL, files[i]);
            items.append(item);
        }
    } else if (!first.isEmpty()) {
        items.append(first);
    }
    if (concealed) {
        for (PasteboardItem &item : items)
            item.setData(PasteboardType::concealed, QByteArray("secret"));
    }
    return items;
}

std::unique_ptr<QMimeData> mimeDataForItems(const QList<PasteboardItem> &items)
{
    auto mime = std::make_unique<QMimeData>();
    QStringList texts;
    QList<QByteArray> files;
    for (const PasteboardItem &item : items) {
        for (const auto &[type, data] : item.entries()) {
            if (type == PasteboardType::string) {
                texts.append(item.string(type).value_or(QString()));
            } else if (type == PasteboardType::fileURL) {
                files.append(withoutTrailingNuls(data));
            } else if (type == PasteboardType::concealed) {
                if (!mime->hasFormat(QLatin1String(kPasswordHint)))
                    mime->setData(QLatin1String(kPasswordHint), QByteArray("secret"));
            } else {
                const QString format = mimeFormatFor(type);
                if (!mime->hasFormat(format))
                    mime->setData(format, data);
            }
        }
    }
    if (!texts.isEmpty())
        mime->setText(texts.join(QLatin1Char('\n')));
    if (!files.isEmpty()) {
        mime->setData(QStringLiteral("text/uri-list"), files.join("\r\n") + "\r\n");
        mime->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + files.join('\n'));
    }
    return mime;
}

} // namespace ClipboardFormats
