#pragma once
// A copy of a kind the history keeps but does not interpret. It is never rebuilt from the store.
// Any thread.

#include "core/PBTextualItemProvider.h"

class PBOtherItemProvider : public PBPayloadItemProvider {
public:
    explicit PBOtherItemProvider(QString representedText = {}, QVariant accosicatedData = {},
                                 PasteboardDataMap pasteboardData = {})
        : PBPayloadItemProvider(std::move(representedText), std::move(accosicatedData), std::move(pasteboardData))
    {
    }

    static std::optional<PBOtherItemProvider> restore(const std::optional<QByteArray> &) { return std::nullopt; }
};
