#pragma once
// A copied image: the payload is the image data, the text a name (a fresh UUID unless given).
// Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

class PBImageItemProvider {
public:
    explicit PBImageItemProvider(const std::optional<QByteArray> &data);
    PBImageItemProvider(const std::optional<QByteArray> &data, QString text);

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const QVariant &accosicatedData() const { return m_accosicatedData; }
    void setAccosicatedData(const QVariant &data) { m_accosicatedData = data; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // Always a provider, named with a fresh UUID.
    static std::optional<PBImageItemProvider> restore(const std::optional<QByteArray> &data)
    {
        return PBImageItemProvider(data);
    }
    bool matches(const QStringList &keywords) const
    {
        return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
    }

private:
    QString m_representedText;
    QVariant m_accosicatedData;
    PasteboardDataMap m_pasteboardData;
};
