#include "core/PBFileItemProvider.h"

PBFileItemProvider::PBFileItemProvider(QUrl url, PasteboardDataMap pasteboardData)
    : m_pasteboardData(std::move(pasteboardData)),
      m_url(std::move(url))
{
}

void PBFileItemProvider::setUrl(const QUrl &url) { m_url = url; }

QString PBFileItemProvider::representedText() const
{
    QString path = m_url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QVariant PBFileItemProvider::accosicatedData() const { return m_url.toString(QUrl::FullyEncoded).toUtf8(); }

std::optional<PBFileItemProvider> PBFileItemProvider::restore(const std::optional<QByteArray> &data)
{
    if (!data)
        return std::nullopt;
    const auto text = ProviderSupport::decodeUtf8(*data);
    if (!text || text->isEmpty())
        return std::nullopt;
    const QUrl url(*text, QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return PBFileItemProvider(url);
}

bool PBFileItemProvider::matches(const QStringList &keywords) const
{
    return ProviderSupport::containsAnyKeyword(representedText(), keywords, Qt::CaseInsensitive);
}
