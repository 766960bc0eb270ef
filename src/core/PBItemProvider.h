#pragma once
// The typed content of a history item: a value holding one of the seven providers. What every
// provider answers (its text, payload, pasteboard data, keyword match) is asked here; the
// concrete provider is reached by type with as<P>(). Any thread.

#include "core/PBEmailItemProvider.h"
#include "core/PBFileItemProvider.h"
#include "core/PBImageItemProvider.h"
#include "core/PBLinkItemProvider.h"
#include "core/PBNoteItemProvider.h"
#include "core/PBOtherItemProvider.h"
#include "core/PBTextItemProvider.h"

#include <variant>

class PBItemProvider {
public:
    using Variant = std::variant<PBTextItemProvider, PBFileItemProvider, PBLinkItemProvider, PBNoteItemProvider,
                                 PBOtherItemProvider, PBImageItemProvider, PBEmailItemProvider>;

    template <typename P>
    requires std::is_constructible_v<Variant, P &&> PBItemProvider(P &&provider) : m_provider(std::forward<P>(provider))
    {
    }

    // The text shown for the item.
    QString representedText() const;
    // The kind's typed payload; invalid when there is none.
    QVariant accosicatedData() const;
    // The raw representations of the copy, by pasteboard type name.
    const PasteboardDataMap &pasteboardData() const;
    void setPasteboardData(const PasteboardDataMap &data);
    // An empty list, or a list of empty keywords, never matches.
    bool matches(const QStringList &keywords) const;

    template <typename P>
    bool is() const
    {
        return std::holds_alternative<P>(m_provider);
    }
    template <typename P>
    const P *as() const
    {
        return std::get_if<P>(&m_provider);
    }
    template <typename P>
    P *as()
    {
        return std::get_if<P>(&m_provider);
    }
    const Variant &variant() const { return m_provider; }
    Variant &variant() { return m_provider; }

private:
    Variant m_provider;
};
