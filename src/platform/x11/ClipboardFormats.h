#pragma once
// What the X11 clipboard backend reads and writes: the allow-list of targets (an owner may
// advertise dozens of image conversions; we read one of each kind), and the mapping between
// MIME targets and the program's pasteboard types. Pure functions; any thread.

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <memory>

class QMimeData;

namespace ClipboardFormats {

inline constexpr char kPasswordHint[] = "x-kde-passwordManagerHint";

// The targets worth reading out of those offered, in the order the owner offered them, except
// that the password hint comes first: a concealed copy is known before any of it is read.
QList<QByteArray> targetsToRead(const QList<QByteArray> &offered);

// Whether this target's bytes mark the copy as a password manager's.
bool marksConcealed(const QByteArray &target, const QByteArray &bytes);

// What stands for a concealed copy: the marker alone, none of the contents.
QList<PasteboardItem> concealedItems();

// The items for what was read: one item, or one per file when files were copied. `offered` gives
// the owner's order; `read` maps a target to its bytes (targets missing from it were not readable).
QList<PasteboardItem> itemsFromTargets(const QList<QByteArray> &offered, const QHash<QByteArray, QByteArray> &read);

// What we offer for our own items. Files of all items join one uri-list; other types come from
// the first item that has them, and plain texts of several items are joined by line breaks.
std::unique_ptr<QMimeData> mimeDataForItems(const QList<PasteboardItem> &items);

} // namespace ClipboardFormats
