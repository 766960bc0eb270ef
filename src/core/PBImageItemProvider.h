#pragma once
// A copied image: the payload is the image data, the text a name (a fresh UUID unless given).
// Any thread.

#include "core/PBTextualItemProvider.h"

class PBImageItemProvider : public PBPayloadItemProvider {
public:
    explicit PBImageItemProvider(const std::optional<QByteArray> &data);
    PBImageItemProvider(const std::optional<QByteArray> &data, QString text);

    // Always a provider, named with a fresh UUID.
    static std::optional<PBImageItemProvider> restore(const std::optional<QByteArray> &data)
    {
        return PBImageItemProvider(data);
    }
};
