#include "core/PBFileItemProvider.h"

#include "core/TPBookMarkCacher.h"
#include "platform/Log.h"

PBFileItemProvider::PBFileItemProvider(QUrl url, PasteboardDataMap pasteboardData)
    : m_pasteboardData(std::move(pasteboardData)), m_url(std::move(url))
{
    bookmarkLocation(BookmarkReason::Created);
}

void PBFileItemProvider::setUrl(const QUrl &url)
{
    m_url = url;
    bookmarkLocation(BookmarkReason::UrlChanged);
}

QString PBFileItemProvider::representedText() const
{
    QString path = m_url.path(QUrl::FullyDecoded);
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    if (path == QLatin1String("/"))
        return path;
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QVariant PBFileItemProvider::accosicatedData() const
{
    return m_url.toString(QUrl::FullyEncoded).toUtf8();
}

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

void PBFileItemProvider::bookmarkLocation(BookmarkReason reason) const
{
    TPBookMarkCacher &cacher = TPBookMarkCacher::shared();
    if (cacher.hasBookMark(authorizedRootPath()))
        return;
    if (reason == BookmarkReason::Created)
        LOG_DEBUG("PBFileItemProvider()", QStringLiteral("Setting bookmark when initial provider..."));
    else
        LOG_DEBUG("setUrl()", QStringLiteral("Setting bookmark when set provider url..."));
    cacher.store({m_url});
}
