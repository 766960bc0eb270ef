#include "core/PBProviderSupport.h"

#include "core/HtmlReading.h"
#include "core/RtfReader.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QVariant>

namespace ProviderSupport {

std::optional<QString> decodeUtf8(const QByteArray &data)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(data);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

std::optional<QByteArray> encodeUtf8(const QString &text)
{
    QStringEncoder encoder(QStringEncoder::Utf8, QStringEncoder::Flag::Stateless);
    QByteArray data = encoder(text);
    if (encoder.hasError())
        return std::nullopt;
    return data;
}

bool containsAnyKeyword(const QString &text, const QStringList &keywords, Qt::CaseSensitivity sensitivity)
{
    for (const QString &keyword : keywords) {
        if (!keyword.isEmpty() && text.contains(keyword, sensitivity))
            return true;
    }
    return false;
}

std::optional<std::pair<QString, QByteArray>> firstRichRepresentation(const PasteboardDataMap &data)
{
    for (const QString &type : PasteboardTypeName::kRichTypes) {
        const auto found = data.constFind(type);
        if (found != data.constEnd())
            return std::pair{type, found.value()};
    }
    return std::nullopt;
}

QVariant richPayload(const PasteboardDataMap &data, const QString &text)
{
    if (const auto rich = firstRichRepresentation(data))
        return rich->second;
    if (const auto utf8 = encodeUtf8(text))
        return *utf8;
    return {};
}

} // namespace ProviderSupport

namespace ProviderSupport {

std::optional<QTextDocumentFragment> readRichText(const QString &type, const QByteArray &data)
{
    if (type == PasteboardTypeName::kRtf)
        return RtfReader::read(data);
    if (type == PasteboardTypeName::kHtml) {
        const auto html = decodeUtf8(data);
        if (!html)
            return std::nullopt;
        SafeTextDocument resources;
        return QTextDocumentFragment::fromHtml(htmlWithBoundedNesting(*html), &resources);
    }
    return std::nullopt; // flat RTFD is not read on this platform
}

} // namespace ProviderSupport
