#include "platform/Pasteboard.h"

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
