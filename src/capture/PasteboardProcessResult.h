#pragma once
// What the item pipeline made of one pasteboard item: a new item to store, a stored item that the
// copy repeats (with the category to attach to it), or nothing, with the reason it was dropped.

#include "core/PBCategory.h"
#include "core/PBItem.h"

#include <QString>

#include <optional>

struct PasteboardProcessResult {
    enum class Kind { New, Update, Failure };

    Kind kind = Kind::Failure;
    std::optional<PBItem> item;         // the new item, or the stored one that was repeated
    std::optional<PBCategory> category; // for Update: the category to attach, if any
    QString reason;                     // for Failure: why the item was dropped

    static PasteboardProcessResult newItem(PBItem item) { return {Kind::New, std::move(item), std::nullopt, {}}; }
    static PasteboardProcessResult update(PBItem item, std::optional<PBCategory> category)
    {
        return {Kind::Update, std::move(item), std::move(category), {}};
    }
    static PasteboardProcessResult failure(QString reason)
    {
        return {Kind::Failure, std::nullopt, std::nullopt, std::move(reason)};
    }
};
