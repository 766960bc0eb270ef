#pragma once
// What the text-like providers (text, link, e-mail) share: a text, the pasteboard data, a rebuild
// from the stored text and a case-insensitive keyword match. Self is the provider. Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

template <typename Self>
class PBTextualItemProvider {
public:
    explicit PBTextualItemProvider(QString representedText = {}, PasteboardDataMap pasteboardData = {})
        : m_pasteboardData(std::move(pasteboardData)),
          m_representedText(std::move(representedText))
    {
    }

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The stored text as UTF-8 gives a provider without pasteboard data.
    static std::optional<Self> restore(const std::optional<QByteArray> &data)
    {
        if (!data)
            return std::nullopt;
        if (auto text = ProviderSupport::decodeUtf8(*data))
            return Self(*text);
        return std::nullopt;
    }
    // Case-insensitive containment of any keyword in the text.
    bool matches(const QStringList &keywords) const
    {
        return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
    }

protected:
    PasteboardDataMap m_pasteboardData;
    QString m_representedText;
};

// What the providers with a stored payload (note, other, image) share. Any thread.
class PBPayloadItemProvider {
public:
    PBPayloadItemProvider(QString representedText, QVariant accosicatedData, PasteboardDataMap pasteboardData)
        : m_representedText(std::move(representedText)),
          m_accosicatedData(std::move(accosicatedData)),
          m_pasteboardData(std::move(pasteboardData))
    {
    }

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const QVariant &accosicatedData() const { return m_accosicatedData; }
    void setAccosicatedData(const QVariant &data) { m_accosicatedData = data; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // Case-insensitive containment of any keyword in the text.
    bool matches(const QStringList &keywords) const
    {
        return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
    }

protected:
    QString m_representedText;
    QVariant m_accosicatedData;
    PasteboardDataMap m_pasteboardData;
};
