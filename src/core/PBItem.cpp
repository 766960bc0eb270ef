#include "core/PBItem.h"

#include <QTextBoundaryFinder>

namespace {
// The first `count` user-perceived characters; never splits a surrogate pair or a cluster.
QString leadingCharacters(const QString &text, int count)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            return text;
        end = next;
    }
    return text.left(end);
}
} // namespace

PBItem::PBItem(QUuid uuid, QString hash, QList<PBCategory> categories, std::optional<PBItemProvider> dataProvider,
               QDateTime modifiedTime, QDateTime createTime, std::optional<PBAppInfo> sourceApp, bool isSticky,
               std::optional<QString> comment)
    : m_uuid(uuid),
      m_hash(std::move(hash)),
      m_categories(std::move(categories)),
      m_dataProvider(std::move(dataProvider)),
      m_modifiedTime(std::move(modifiedTime)),
      m_createTime(std::move(createTime)),
      m_sourceApp(std::move(sourceApp)),
      m_isSticky(isSticky),
      m_comment(std::move(comment))
{
}

std::optional<PBCategory> PBItem::primaryCategory() const
{
    for (const PBCategory &category : m_categories) {
        if (isContentKind(category.type()))
            return category;
    }
    return std::nullopt;
}

QString PBItem::description() const
{
    QString text = QStringLiteral("[");
    for (const PBCategory &category : m_categories)
        text += category.name() + QLatin1Char(',');
    text += QStringLiteral("]: ");
    if (m_dataProvider)
        text += leadingCharacters(m_dataProvider->representedText(), 32);
    text += QStringLiteral(" @ [") + (m_sourceApp ? m_sourceApp->name : QString()) + QLatin1Char(']');
    return text;
}
