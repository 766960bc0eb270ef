#pragma once
// The stored form of one history item. Its payloads (`text`, `data`) load only when read, and
// may be read in part; its pasteboard representations are owned by it and deleted with it.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

#include <QDateTime>
#include <QUuid>

#include <optional>

class PBCategoryRecord;
class PBPasteboardDataRecord;

class PBItemRecord : public ManagedObject {
public:
    PBItemRecord();
    static const EntityDescription &entityDescription();
    static FetchRequest<PBItemRecord> fetchRequest() { return {}; }
    // The history's order: pinned items first, then the newest (or `order` within each part).
    static QList<SortDescriptor> pinnedThenNewest();
    static QList<SortDescriptor> pinnedThen(const SortDescriptor &order);
    // The link table of the items' categories: its name, its item and its category columns.
    static const RelationshipDescription &categoriesLink();

    QUuid uuid() const;
    void setUuid(const QUuid &uuid);
    QString dataHash() const;
    void setDataHash(const QString &hash);
    QString text() const;
    void setText(const QString &text);
    QByteArray data() const;
    void setData(const QByteArray &data);
    // The first `length` characters of the text, without reading the rest; `whole` tells
    // whether that is all of it.
    QString textHead(qsizetype length, bool *whole = nullptr) const;
    // The data when it is at most `size` bytes long; none (and nothing read) when longer.
    std::optional<QByteArray> dataUpTo(qsizetype size) const;
    // The first `size` bytes of the data, without reading the rest.
    QByteArray dataHead(qsizetype size) const;
    QString appName() const;
    void setAppName(const QString &name);
    QString appId() const;
    void setAppId(const QString &bundleId);
    QString appPath() const;
    void setAppPath(const QString &path);
    QDateTime createdAt() const;
    void setCreatedAt(const QDateTime &date);
    QDateTime modifiedAt() const;
    void setModifiedAt(const QDateTime &date);
    bool is_sticky() const;
    void setIs_sticky(bool sticky);
    QString comment() const; // null when there is none
    void setComment(const QString &comment);

    // The categories the item is filed under (a set: adding one it holds changes nothing).
    QList<std::shared_ptr<PBCategoryRecord>> categories() const;
    void addCategoriesObject(const std::shared_ptr<PBCategoryRecord> &category);
    void addCategories(const QList<std::shared_ptr<PBCategoryRecord>> &categories);
    void removeCategoriesObject(const std::shared_ptr<PBCategoryRecord> &category);

    // One record per pasteboard type (no defined order).
    QList<std::shared_ptr<PBPasteboardDataRecord>> pasteboards() const;
    void addPasteboardsObject(const std::shared_ptr<PBPasteboardDataRecord> &pasteboard);
    void addPasteboards(const QList<std::shared_ptr<PBPasteboardDataRecord>> &pasteboards);
    void removePasteboardsObject(const std::shared_ptr<PBPasteboardDataRecord> &pasteboard);

    enum Attribute {
        kUuid,
        kDataHash,
        kText,
        kData,
        kAppName,
        kAppId,
        kAppPath,
        kCreatedAt,
        kModifiedAt,
        kIsSticky,
        kComment
    };
    enum Relationship { kCategories, kPasteboards };
};
