#pragma once
// A copied link: its text is the URL as copied. Any thread.

#include "core/PBTextualItemProvider.h"

class PBLinkItemProvider : public PBTextualItemProvider<PBLinkItemProvider> {
public:
    using PBTextualItemProvider::PBTextualItemProvider;

    // The favicon address at the link's host, always over https; nothing without a host or for a
    // host on this computer or the local network.
    QVariant accosicatedData() const;
};
