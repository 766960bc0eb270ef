#include "platform/Pasteboard.h"

#include "platform/Log.h"
#include "platform/memory/MemoryPasteboard.h"
#include "platform/x11/ClipboardFormats.h"

#include <QMimeData>
#include <QStringDecoder>

#include <mutex>

QStringList PasteboardItem::types() const
{
    QStringList result;
    result.reserve(m_entries.size());
    for (const auto &entry : m_entries)
        result.append(entry.first);
    return result;
}

bool PasteboardItem::hasType(const QString &type) const
{
    for (const auto &entry : m_entries) {
        if (entry.first == type)
            return true;
    }
    return false;
}

std::optional<QByteArray> PasteboardItem::data(const QString &type) const
{
    for (const auto &entry : m_entries) {
        if (entry.first == type)
            return entry.second;
    }
    return std::nullopt;
}

std::optional<QString> PasteboardItem::string(const QString &type) const
{
    const std::optional<QByteArray> bytes = data(type);
    if (!bytes)
        return std::nullopt;
    QStringDecoder::Encoding encoding = QStringDecoder::Utf8;
    if (bytes->startsWith("\xff\xfe"))
        encoding = QStringDecoder::Utf16LE;
    else if (bytes->startsWith("\xfe\xff"))
        encoding = QStringDecoder::Utf16BE;
    QStringDecoder decoder(encoding, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(*bytes);
    if (decoder.hasError())
        return std::nullopt;
    // Binary data rarely decodes; what does and holds NULs is not text either.
    if (text.contains(QChar(u'\0')))
        return std::nullopt;
    return text;
}

void PasteboardItem::setData(const QString &type, const QByteArray &data)
{
    for (auto &entry : m_entries) {
        if (entry.first == type) {
            entry.second = data;
            return;
        }
    }
    m_entries.append({type, data});
}

namespace {
qint64 sizeOf(const PasteboardChange &change) { return change.items ? PasteboardItem::byteSize(*change.items) : 0; }
} // namespace

qint64 PasteboardItem::byteSize(const QList<PasteboardItem> &items)
{
    qint64 bytes = 0;
    for (const PasteboardItem &item : items)
        for (const auto &entry : item.entries())
            bytes += entry.second.size();
    return bytes;
}

QList<PasteboardChange> Pasteboard::takeChanges()
{
    std::lock_guard lock(m_changesMutex);
    QList<PasteboardChange> taken(std::make_move_iterator(m_changes.begin()), std::make_move_iterator(m_changes.end()));
    m_changes.clear();
    m_keptBytes = 0;
    return taken;
}

qint64 Pasteboard::takeDroppedChangeCount()
{
    std::lock_guard lock(m_changesMutex);
    return std::exchange(m_droppedChanges, 0);
}

void Pasteboard::setChangeHandler(std::function<void()> handler)
{
    std::lock_guard lock(m_handlerMutex);
    m_changeHandler = std::move(handler);
}

void Pasteboard::recordChange(PasteboardChange change)
{
    if (!change.time.isValid())
        change.time = QDateTime::currentDateTime();
    {
        std::lock_guard lock(m_changesMutex);
        m_keptBytes += sizeOf(change);
        m_changes.push_back(std::move(change));
        qsizetype dropped = 0;
        while (m_changes.size() > 1 && (qsizetype(m_changes.size()) > kMaxKeptChanges || m_keptBytes > kMaxKeptBytes)) {
            m_keptBytes -= sizeOf(m_changes.front());
            m_changes.pop_front();
            ++dropped;
        }
        m_droppedChanges += dropped;
        if (dropped > 0)
            LOG_WARNING("Pasteboard::recordChange()",
                        QStringLiteral("%1 clipboard changes were not taken in time and are dropped").arg(dropped));
    }
    if (!announcesChanges())
        return;
    std::lock_guard lock(m_handlerMutex);
    if (m_changeHandler)
        m_changeHandler();
}

namespace {
std::mutex g_generalMutex;
std::unique_ptr<Pasteboard> g_general;
} // namespace

Pasteboard &Pasteboard::general()
{
    std::lock_guard lock(g_generalMutex);
    if (!g_general)
        g_general = std::make_unique<MemoryPasteboard>();
    return *g_general;
}

std::unique_ptr<QMimeData> Pasteboard::mimeDataForItems(const QList<PasteboardItem> &items)
{
    return ClipboardFormats::mimeDataForItems(items);
}

void Pasteboard::setGeneral(std::unique_ptr<Pasteboard> pasteboard)
{
    std::lock_guard lock(g_generalMutex);
    g_general = std::move(pasteboard);
}
