#pragma once
// A copy of a kind the history keeps but does not interpret. It is never rebuilt from the store.
// Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

class PBOtherItemProvider {
public:
    explicit PBOtherItemProvider(QString representedText = {}, QVariant accosicatedData = {},
                                 PasteboardDataMap pasteboardData = {})
        : m_representedText(std::move(representedText)), m_accosicatedData(std::move(accosicatedData)),
          m_pasteboardData(std::move(pasteboardData)) {}

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const QVariant &accosicatedData() const { return m_accosicatedData; }
    void setAccosicatedData(const QVariant &data) { m_accosicatedData = data; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    static std::optional<PBOtherItemProvider> restore(const std::optional<QByteArray> &) { return std::nullopt; }
    bool matches(const QStringList &keywords) const
    {
        return ProviderSupport::containsAnyKeyword(m_representedText, keywords, Qt::CaseInsensitive);
    }

private:
    QString m_representedText;
    QVariant m_accosicatedData;
    PasteboardDataMap m_pasteboardData;
};
