#pragma once
// A note the user wrote: its title is the shown text, its body the payload (UTF-8). Any thread.

#include "core/PBProviderSupport.h"

#include <QVariant>

class PBNoteItemProvider {
public:
    PBNoteItemProvider(QString title, QVariant body, PasteboardDataMap pasteboardData = {})
        : m_pasteboardData(std::move(pasteboardData)), m_representedText(std::move(title)), m_accosicatedData(std::move(body)) {}

    // A note of the title and the body as UTF-8; nothing when the body can't be encoded.
    static std::optional<PBNoteItemProvider> make(const QString &title, const QString &body);

    const QString &representedText() const { return m_representedText; }
    void setRepresentedText(const QString &title) { m_representedText = title; }
    const QVariant &accosicatedData() const { return m_accosicatedData; }
    void setAccosicatedData(const QVariant &body) { m_accosicatedData = body; }
    const PasteboardDataMap &pasteboardData() const { return m_pasteboardData; }
    void setPasteboardData(const PasteboardDataMap &data) { m_pasteboardData = data; }

    // The body decoded as UTF-8; nothing when the payload is missing, not bytes, or not UTF-8.
    std::optional<QString> body() const;

    // The archived form: a CBOR map with the text string "title" and the byte string "body".
    static std::optional<PBNoteItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-sensitive containment of any keyword in the title, then in the body.
    bool matches(const QStringList &keywords) const;

private:
    PasteboardDataMap m_pasteboardData;
    QString m_representedText;
    QVariant m_accosicatedData;
};
