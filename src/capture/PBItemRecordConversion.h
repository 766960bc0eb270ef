#pragma once
// A stored history record turned back into a history item. Strict about what identifies an item
// (uuid, hash, creation time, a category that names its kind), lenient about the rest. The
// record's stored representations are read only when asked for: lists leave them out.
// Caller's thread; the record's context lock is taken by its accessors.

#include "core/PBItem.h"

#include <optional>

class PBItemRecord;

enum class PayloadLoading { WithoutRepresentations, WithRepresentations };

// Absent when the record is not an item; also when part of it could not be read from the store,
// which `readFailed` then tells (such a record is never handed out as an empty item).
std::optional<PBItem> pbItem(const PBItemRecord &record, PayloadLoading loading = PayloadLoading::WithRepresentations,
                             bool *readFailed = nullptr);
