#include "core/PBTextItemProvider.h"

QVariant PBTextItemProvider::accosicatedData() const
{
    return ProviderSupport::richPayload(m_pasteboardData, m_representedText);
}

std::optional<PBTextItemProvider> PBTextItemProvider::restore(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    if (auto text = ProviderSupport::decodeUtf8(*data))
        return PBTextItemProvider(*text);
    return std::nullopt;
}

bool PBTextItemProvider::matches(const QStringList &keywords) const
{
    return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
}

std::optional<QTextDocumentFragment> PBTextItemProvider::attributedString() const
{
    const auto rich = ProviderSupport::firstRichRepresentation(m_pasteboardData);
    if (!rich)
        return QTextDocumentFragment::fromPlainText(m_representedText);
    return ProviderSupport::readRichText(rich->first, rich->second);
}
