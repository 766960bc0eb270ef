#pragma once
// Dragging history items out to other programs: the items carry what a copy-out of them would put
// on the clipboard (one MIME entry per stored type), with the copy action, and the program steps
// aside afterwards so the window under the drop stays in front. GUI thread.

#include "core/PBCategory.h"
#include "core/PBItem.h"

#include <QList>

#include <optional>

class QWidget;
class TaviPBManager;

namespace DragOut {

// Runs the drag (returns when it ended), then steps aside. Nothing starts when an item cannot be
// read (the user is told by the copy-out). `category` is the list the items are dragged from.
void start(QWidget *source, TaviPBManager &manager, const QList<PBItem> &items,
           const std::optional<PBCategory> &category);

} // namespace DragOut
