#include "core/PBEmailItemProvider.h"

QVariant PBEmailItemProvider::accosicatedData() const
{
    return ProviderSupport::richPayload(m_pasteboardData, m_representedText);
}

std::optional<PBEmailItemProvider> PBEmailItemProvider::restore(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    if (auto text = ProviderSupport::decodeUtf8(*data))
        return PBEmailItemProvider(*text);
    return std::nullopt;
}

bool PBEmailItemProvider::matches(const QStringList &keywords) const
{
    return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
}
