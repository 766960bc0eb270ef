#pragma once
// A copied link: its text is the URL as copied. Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

class PBLinkItemProvider {
public:
    explicit PBLinkItemProvider(QString representedText = {}, PasteboardDataMap pasteboardData = {})
        : m_pasteboardData(std::move(pasteboardData)), m_representedText(std::move(representedText)) {}

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The favicon address at the link's host, always over https; nothing without a host.
    QVariant accosicatedData() const;
    // The stored text as UTF-8 gives a provider without pasteboard data.
    static std::optional<PBLinkItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-insensitive containment of any keyword in the text.
    bool matches(const QStringList &keywords) const;

private:
    PasteboardDataMap m_pasteboardData;
    QString m_representedText;
};
