#pragma once
// Dragging history items out to other programs: what a dragged item carries (one MIME entry per
// stored type, through the clipboard writer's own mapping), the copy action, and the program
// stepping aside afterwards so the window under the drop stays in front. GUI thread.

#include "core/PBDefaultCategory.h"
#include "core/PBItem.h"
#include "platform/Pasteboard.h"

#include <QList>

class QMimeData;
class QWidget;

namespace DragOut {

// The representations of a whole item (stored types included). `listKind` is the kind of the
// list it is dragged from (a user category's list passes the item's own kind): a note in a note
// list gives its body; a text gives plain text alone while "copyPlainText" is on.
PasteboardItem pasteboardItem(const PBItem &item, PBDefaultCategory listKind);
std::unique_ptr<QMimeData> mimeData(const QList<PasteboardItem> &items);
// Runs the drag (returns when it ended), then steps aside.
void start(QWidget *source, const QList<PasteboardItem> &items);

} // namespace DragOut
