#pragma once
// A note the user wrote: its title is the shown text, its body the payload (UTF-8). Any thread.

#include "core/PBTextualItemProvider.h"

class PBNoteItemProvider : public PBPayloadItemProvider {
public:
    PBNoteItemProvider(QString title, QVariant body, PasteboardDataMap pasteboardData = {})
        : PBPayloadItemProvider(std::move(title), std::move(body), std::move(pasteboardData))
    {
    }

    // A note of the title and the body as UTF-8; nothing when the body can't be encoded.
    static std::optional<PBNoteItemProvider> make(const QString &title, const QString &body);

    // The body decoded as UTF-8; nothing when the payload is missing, not bytes, or not UTF-8.
    std::optional<QString> body() const;

    // The archived form: a CBOR map with the text string "title" and the byte string "body".
    static std::optional<PBNoteItemProvider> restore(const std::optional<QByteArray> &data);
    // Case-sensitive containment of any keyword in the title, then in the body.
    bool matches(const QStringList &keywords) const;
};
