#pragma once
// What the lists, the quick-paste panel and the status menu title an item with. Any thread.

#include "core/PBItem.h"

// The item's title on one line, of at most `length` characters (cut as oneLineTitle() cuts).
// A text from its first visible character on, or what it is in words when none of it can be seen
// (titleText()); a file by its name; an image by its file's name, or else by its size in pixels.
// Never an internal id.
QString itemTitle(const PBItem &item, int length);
