#pragma once
// What the benchmarks share: a history of text copies written straight into the store, a PNG
// that does not compress, the resident memory of a process, and a private runtime folder.

#include "core/PBCategoryManager.h"
#include "core/StringExtensions.h"
#include "core/store/CoreDataManager.h"
#include "core/store/CoreDataStack.h"
#include "core/store/PBCategoryRecord.h"
#include "core/store/PBItemRecord.h"
#include "core/store/PBPasteboardDataRecord.h"
#include "platform/Pasteboard.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>

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

// A runtime folder only its owner may enter (as XDG_RUNTIME_DIR must be), made at `path`: the
// sound client and the display's helpers then leave nothing in /tmp.
inline QString makeRuntimeFolder(const QString &path)
{
    QDir().mkpath(path);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// A line of /proc/<pid>/status in megabytes, of this process or of another one by its id.
inline double statusMegabytes(const QByteArray &field, qint64 pid = 0)
{
    QFile status(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray key = field + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

inline double residentMegabytes(qint64 pid = 0) { return statusMegabytes("VmRSS", pid); }

// Resident memory of the process's own (anonymous) pages: without the store's file pages mapped
// for reads, which the kernel shares with its page cache and takes back under pressure.
inline double privateMegabytes(qint64 pid = 0) { return statusMegabytes("RssAnon", pid); }

// A square of random pixels: its PNG is about as large as the pixels (4 bytes each).
inline QByteArray noisePng(int side)
{
    QImage image(side, side, QImage::Format_RGB32);
    auto *random = QRandomGenerator::global();
    for (int y = 0; y < side; ++y) {
        auto *line = reinterpret_cast<quint32 *>(image.scanLine(y));
        for (int x = 0; x < side; ++x)
            line[x] = random->generate();
    }
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

} // namespace Bench
