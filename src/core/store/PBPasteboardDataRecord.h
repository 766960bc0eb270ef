#pragma once
// One pasteboard representation of a history item: its type name and its data, which loads
// only when read.

#include "core/store/FetchRequest.h"
#include "core/store/ManagedObject.h"

class PBItemRecord;

class PBPasteboardDataRecord : public ManagedObject {
public:
    PBPasteboardDataRecord();
    static const EntityDescription &entityDescription();
    static FetchRequest<PBPasteboardDataRecord> fetchRequest() { return {}; }

    QString type() const;
    void setType(const QString &type);
    QByteArray data() const;
    // The first `size` bytes of the data (all of it when shorter), without reading the rest.
    QByteArray dataHead(qsizetype size) const;
    void setData(const QByteArray &data);

    // The item this representation belongs to.
    std::shared_ptr<PBItemRecord> item() const;

    enum Attribute { kType, kData };
};
