#pragma once
// The stored form of one category.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

class PBItemRecord;

class PBCategoryRecord : public ManagedObject {
public:
    PBCategoryRecord();
    static const EntityDescription &entityDescription();
    static FetchRequest<PBCategoryRecord> fetchRequest() { return {}; }

    QString id() const;
    void setId(const QString &id);
    QString name() const;
    void setName(const QString &name);
    QString type() const;
    void setType(const QString &type);
    QString bgColorHexStr() const;
    void setBgColorHexStr(const QString &hex);
    QString fgColorHexStr() const;
    void setFgColorHexStr(const QString &hex);
    qint64 index() const;
    void setIndex(qint64 index);
    bool isHidden() const;
    void setIsHidden(bool hidden);
    bool isLock() const;
    void setIsLock(bool locked);

    // The items filed under this category, unsaved changes included.
    QList<std::shared_ptr<PBItemRecord>> records() const;

    enum Attribute { kId, kName, kType, kBgColorHexStr, kFgColorHexStr, kIndex, kIsHidden, kIsLock };
};
