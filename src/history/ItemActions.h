#pragma once
// The checks the list's item actions make before handing anything to the desktop: which links
// open in a browser and which texts address an e-mail. Any thread.

#include "core/PBDefaultCategory.h"
#include "core/PBItem.h"

#include <QStringList>
#include <QUrl>

#include <optional>

namespace ItemActions {

// The item's kind by its content; unknown for an item without content.
PBDefaultCategory kindOf(const PBItem &item);

// The web link the text names: http or https with a host, nothing else (no file:, javascript:
// or custom schemes).
std::optional<QUrl> browserUrl(const QString &text);

// Whether the text is one plain e-mail address (no blanks, no URL query or fragment characters).
bool isEmailAddress(const QString &text);
// A mailto URL addressed to the texts that are e-mail addresses, each percent-encoded; nothing
// when none is.
std::optional<QUrl> mailtoUrl(const QStringList &recipients);

} // namespace ItemActions
