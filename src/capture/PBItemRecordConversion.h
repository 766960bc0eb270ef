#pragma once
// A stored history record turned back into a history item. Strict about what identifies an item
// (uuid, hash, creation time, a category that names its kind), lenient about the rest. The
// record's stored representations are read only when asked for: lists leave them out, and hold
// no more of an item's text than its first kListTextLength characters and no payload larger than
// kListPayloadBytes (a note is always whole). Caller's thread; the record's context lock is taken
// by its accessors.

#include "core/PBItem.h"

#include <optional>

class PBItemRecord;

enum class PayloadLoading { WithoutRepresentations, WithRepresentations };

inline constexpr qsizetype kListTextLength = 2048;
inline constexpr qsizetype kListPayloadBytes = 64 * 1024;

// The item as lists hold it: its text cut to kListTextLength characters, no representations and
// no payload over kListPayloadBytes (notes stay whole). Any thread.
PBItem listItem(const PBItem &item);

// Whether a representation only repeats the item's own content (the UTF-8 of a text, link or
// address; the payload of an image), and is then stored empty: reading the item gives the bytes
// back from that content. Any thread.
bool repeatsOwnContent(const PBItemProvider &provider, const QString &type, const QByteArray &bytes);

// Absent when the record is not an item; also when part of it could not be read from the store,
// which `readFailed` then tells (such a record is never handed out as an empty item).
std::optional<PBItem> pbItem(const PBItemRecord &record, PayloadLoading loading = PayloadLoading::WithRepresentations,
                             bool *readFailed = nullptr);
