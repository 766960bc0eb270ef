#pragma once
// A marker record whose date is touched to produce a change for the cloud mirror.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

#include <QDateTime>
#include <QUuid>

class PBSyncOperation : public ManagedObject {
public:
    PBSyncOperation();
    static const EntityDescription &entityDescription();
    static FetchRequest<PBSyncOperation> fetchRequest() { return {}; }

    QUuid uuid() const;
    void setUuid(const QUuid &uuid);
    QDateTime updateDate() const;
    void setUpdateDate(const QDateTime &date);

    enum Attribute { kUuid, kUpdateDate };
};
