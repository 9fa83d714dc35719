// The whole a command's progress measures: the files that the items of a list name (a tree
// with all it holds) and their bytes, from the listings alone, counted once the drawing is to
// appear. Only where progress is drawn.
#pragma once

#include "run/list_items.h"
#include "run/run_context.h"

// Has the progress count, when it first draws, what the first `count` items of `items` name;
// `recursive` counts what a directory holds too. `remaining`: the command takes its sources
// away as it goes, so what is found is what is left. `items` outlives the command.
void countWholeLater(RunContext& run, const ItemList& items, int count, bool recursive, bool remaining);
