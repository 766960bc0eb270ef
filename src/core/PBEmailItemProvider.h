#pragma once
// A copied e-mail address. Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

class PBEmailItemProvider {
public:
    explicit PBEmailItemProvider(QString representedText = {}, PasteboardDataMap pasteboardData = {})
        : m_pasteboardData(std::move(pasteboardData)), m_representedText(std::move(representedText)) {}

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &text) { m_representedText = text; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The first rich representation (RTF, flat RTFD, HTML) as stored, else the text as UTF-8.
    QVariant accosicatedData() const;
    // The stored text as UTF-8 gives a provider without pasteboard data.
    static std::optional<PBEmailItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-insensitive containment of any keyword in the text.
    bool matches(const QStringList &keywords) const;

private:
    PasteboardDataMap m_pasteboardData;
    QString m_representedText;
};
