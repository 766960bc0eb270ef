#pragma once
// What the benchmarks share: a history of text copies written straight into the store, and the
// resident memory of the process.

#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/store/CoreDataManager.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/Pasteboard.h"

#include <QDateTime>
#include <QFile>

#include <functional>

namespace Bench {

// `count` text items, one a second up to now, filed under "all" and "text", saved in batches;
// copied in the application `appOf` names (by default "Text Editor").
inline void seedHistory(qint64 count, const std::function<QString(qint64)> &textOf,
                        const std::function<QString(qint64)> &appOf = {})
{
    auto context = CoreDataStack::shared().managedContext();
    PBCategoryManager categories(context);
    QList<std::shared_ptr<PBCategoryRecord>> kinds;
    const auto stored = categories.storage().fetch(std::nullopt);
    for (const auto &record : stored.value()) {
        if (record->id() == QStringLiteral("0") || record->id() == QStringLiteral("1"))
            kinds.append(record);
    }
    CoreDataManager<PBItemRecord> items(context);
    CoreDataManager<PBPasteboardDataRecord> pasteboards(context);
    const QDateTime start = QDateTime::currentDateTime().addSecs(-count);
    for (qint64 i = 0; i < count; ++i) {
        const QString text = textOf(i);
        auto record = items.newRecord();
        record->setUuid(QUuid::createUuid());
        record->setDataHash(md5(text));
        record->addCategories(kinds);
        record->setCreatedAt(start.addSecs(i));
        record->setModifiedAt(start.addSecs(i));
        record->setText(text);
        record->setAppName(appOf ? appOf(i) : QStringLiteral("Text Editor"));
        auto pasteboard = pasteboards.newRecord();
        pasteboard->setType(PasteboardType::string);
        pasteboard->setData(text.toUtf8());
        record->addPasteboardsObject(pasteboard);
        if ((i + 1) % 50000 == 0 || i + 1 == count)
            context->saveContext();
    }
}

inline double residentMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

} // namespace Bench
