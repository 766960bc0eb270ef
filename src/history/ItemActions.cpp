#include "history/ItemActions.h"

#include "core/PBEmailItemProvider.h"
#include "core/PBFileItemProvider.h"
#include "core/PBImageItemProvider.h"
#include "core/PBLinkItemProvider.h"
#include "core/PBNoteItemProvider.h"
#include "core/PBOtherItemProvider.h"
#include "core/PBTextItemProvider.h"

#include <QRegularExpression>

namespace ItemActions {

PBDefaultCategory kindOf(const PBItem &item)
{
    const auto &provider = item.dataProvider();
    if (!provider)
        return PBDefaultCategory::unknown;
    if (provider->is<PBTextItemProvider>())
        return PBDefaultCategory::text;
    if (provider->is<PBLinkItemProvider>())
        return PBDefaultCategory::link;
    if (provider->is<PBImageItemProvider>())
        return PBDefaultCategory::image;
    if (provider->is<PBFileItemProvider>())
        return PBDefaultCategory::file;
    if (provider->is<PBNoteItemProvider>())
        return PBDefaultCategory::note;
    if (provider->is<PBEmailItemProvider>())
        return PBDefaultCategory::email;
    return PBDefaultCategory::other;
}

std::optional<QUrl> browserUrl(const QString &text)
{
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        return std::nullopt;
    return url;
}

bool isEmailAddress(const QString &text)
{
    // A local part and a dotted domain of the characters addresses use; '?', '&', '#', '/',
    // '%', blanks and line breaks never pass, so nothing can be appended to the URL.
    static const QRegularExpression address(QRegularExpression::anchoredPattern(
        QStringLiteral("[A-Za-z0-9.!$'*+=^_`{|}~-]+@[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+")));
    return text.size() <= 254 && address.match(text).hasMatch();
}

std::optional<QUrl> mailtoUrl(const QStringList &recipients)
{
    QStringList encoded;
    for (const QString &recipient : recipients) {
        const QString trimmed = recipient.trimmed();
        if (isEmailAddress(trimmed))
            encoded.append(QString::fromLatin1(QUrl::toPercentEncoding(trimmed, "@")));
    }
    if (encoded.isEmpty())
        return std::nullopt;
    return QUrl(QStringLiteral("mailto:") + encoded.join(QLatin1Char(',')), QUrl::StrictMode);
}

} // namespace ItemActions
