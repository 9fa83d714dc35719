// The whole a command's progress measures, counted before the command works: the files that
// the items of a list name (a tree with all it holds) and their bytes, from the listings
// alone. Only where progress is drawn.
#pragma once

#include "run/list_items.h"
#include "run/run_context.h"

// Adds what the first `count` items of `items` name to the command's whole; `recursive`
// counts what a directory holds too.
void countWhole(RunContext& run, const ItemList& items, int count, bool recursive);
