// How every command splits a list value: items between commas, each trimmed of spaces.
#pragma once

#include "text/text.h"

// 0 for an empty value, else one more than the number of commas.
inline int itemCount(const Text& list) { return list.fieldCount(","); }

// Item i trimmed of leading and trailing spaces (not tabs); empty past the end.
inline Text listItem(const Text& list, int i) {
    Text item = list.field(i, ",");
    item.trim(" ");
    return item;
}
