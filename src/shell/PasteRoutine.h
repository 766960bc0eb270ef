#pragma once
// The one way the program pastes, from the history windows and the digit keys alike: the items go
// back on the clipboard through the history store, the program steps aside so the window the user
// works in is in front again, and, with quick paste on, the paste keystroke follows (without the
// accessibility permission the items are copied for the user to paste, as the permission window
// says). Nothing is told and nothing is pasted when the copy-out fails. GUI thread.

#include "core/PBCategory.h"
#include "core/PBItem.h"

#include <QList>

#include <optional>

class TaviPBManager;

namespace PasteRoutine {

enum class Feedback { scheduled, immediate };
// Whether the paste keystroke follows the quick-paste setting, or is always sent (a paste the
// user asked for by name, such as the row menu's paste into the previous program).
enum class Keystroke { followSetting, always };

void paste(TaviPBManager &manager, const QList<PBItem> &items, const std::optional<PBCategory> &category,
           Feedback feedback = Feedback::scheduled, Keystroke keystroke = Keystroke::followSetting);

} // namespace PasteRoutine
