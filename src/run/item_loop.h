// How a command runs over its list key: an empty list stops the run with message 4, then
// every item in order.
#pragma once

#include "run/command.h"
#include "run/list_items.h"
#include "run/run_context.h"

// The number of items of `list`; 0 after message 4 has named the section and the key, which
// stops the run.
int countItems(RunContext& run, const Command& record, const Text& list, const char* key);

// `handle` takes the item's index, does its work and, when it fails, shows its message and
// returns false, which stops the run there; items before it stay done. The result flag is
// set once every item has succeeded.
template <class ItemHandler>
bool forEachItem(RunContext& run, Command& record, const Text& list, const char* key, ItemHandler handle) {
    const int count = countItems(run, record, list, key);
    if (count == 0) return false;
    for (int i = 0; i < count; ++i)
        if (!handle(i)) return false;
    record.result = true;
    return true;
}
