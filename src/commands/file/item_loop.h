// The run of a file command over its list key, shared by MAKEDIR, DELETE, ATTR, COPY and
// MOVE: an empty list stops the run with message 4, then every item in order.
#pragma once

#include "run/command.h"
#include "run/list_items.h"
#include "run/run_context.h"

// `handle` takes the item's index, does its work and, when it fails, shows its message and
// returns false, which stops the run there; items before it stay done. The result flag is
// set once every item has succeeded.
template <class ItemHandler>
bool forEachItem(RunContext& run, Command& record, const Text& list, const char* key, ItemHandler handle) {
    const int count = itemCount(list);
    if (count == 0) {
        run.showError(MessageId::WrongItemCount, {record.section, key});
        return false;
    }
    for (int i = 0; i < count; ++i)
        if (!handle(i)) return false;
    record.result = true;
    return true;
}
