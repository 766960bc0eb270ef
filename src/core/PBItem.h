#pragma once
// One entry of the clipboard history. A value: only its categories, its content and its
// modification time change after it was made. Two items are equal when their uuids are. Any thread.

#include "core/PBAppInfo.h"
#include "core/PBCategory.h"
#include "core/PBItemProvider.h"

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QUuid>

class PBItem {
public:
    PBItem(QUuid uuid, QString hash, QList<PBCategory> categories, std::optional<PBItemProvider> dataProvider,
           QDateTime modifiedTime, QDateTime createTime, std::optional<PBAppInfo> sourceApp, bool isSticky,
           std::optional<QString> comment);
    // A null item; for containers and QVariant only.
    PBItem() = default;

    const QUuid &uuid() const { return m_uuid; }
    // MD5 hex digest used for de-duplication; a note's is its uuid's string.
    const QString &hash() const { return m_hash; }
    const QList<PBCategory> &categories() const { return m_categories; }
    void setCategories(const QList<PBCategory> &categories) { m_categories = categories; }
    const std::optional<PBItemProvider> &dataProvider() const { return m_dataProvider; }
    std::optional<PBItemProvider> &dataProvider() { return m_dataProvider; }
    void setDataProvider(std::optional<PBItemProvider> provider) { m_dataProvider = std::move(provider); }
    const QDateTime &modifiedTime() const { return m_modifiedTime; }
    void setModifiedTime(const QDateTime &time) { m_modifiedTime = time; }
    const QDateTime &createTime() const { return m_createTime; }
    const std::optional<PBAppInfo> &sourceApp() const { return m_sourceApp; }
    bool isSticky() const { return m_isSticky; }
    const std::optional<QString> &comment() const { return m_comment; }

    // The item's kind: its first category that is neither All nor a user category.
    std::optional<PBCategory> primaryCategory() const;

    // "[Text,All,]: <first 32 characters> @ [Notes]"; characters are whole grapheme clusters.
    QString description() const;

    friend bool operator==(const PBItem &a, const PBItem &b) { return a.m_uuid == b.m_uuid; }

private:
    QUuid m_uuid;
    QString m_hash;
    QList<PBCategory> m_categories;
    std::optional<PBItemProvider> m_dataProvider;
    QDateTime m_modifiedTime;
    QDateTime m_createTime;
    std::optional<PBAppInfo> m_sourceApp;
    bool m_isSticky = false;
    std::optional<QString> m_comment;
};

Q_DECLARE_METATYPE(PBItem)
