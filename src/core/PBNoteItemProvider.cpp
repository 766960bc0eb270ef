#include "core/PBNoteItemProvider.h"

#include <QCborMap>
#include <QCborValue>

std::optional<PBNoteItemProvider> PBNoteItemProvider::make(const QString &title, const QString &body)
{
    const auto data = ProviderSupport::encodeUtf8(body);
    if (!data)
        return std::nullopt;
    return PBNoteItemProvider(title, *data);
}

std::optional<QString> PBNoteItemProvider::body() const
{
    if (m_accosicatedData.metaType() != QMetaType::fromType<QByteArray>())
        return std::nullopt;
    return ProviderSupport::decodeUtf8(m_accosicatedData.toByteArray());
}

std::optional<PBNoteItemProvider> PBNoteItemProvider::restore(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    QCborParserError error;
    const QCborValue root = QCborValue::fromCbor(*data, &error);
    if (error.error != QCborError::NoError || !root.isMap())
        return std::nullopt;
    const QCborMap archive = root.toMap();
    const QCborValue title = archive.value(QStringLiteral("title"));
    const QCborValue body = archive.value(QStringLiteral("body"));
    if (!title.isString() || !body.isByteArray())
        return std::nullopt;
    return PBNoteItemProvider(title.toString(), body.toByteArray());
}

bool PBNoteItemProvider::matches(const QStringList &keywords) const
{
    const std::optional<QString> text = body();
    for (const QString &keyword : keywords) {
        if (keyword.isEmpty())
            continue;
        if (m_representedText.contains(keyword, Qt::CaseSensitive))
            return true;
        if (text && text->contains(keyword, Qt::CaseSensitive))
            return true;
    }
    return false;
}
