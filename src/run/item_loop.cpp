// The list count every executor starts with.
#include "run/item_loop.h"

int countItems(RunContext& run, const Command& record, const Text& list, const char* key) {
    const int count = itemCount(list);
    if (count == 0) run.showError(MessageId::WrongItemCount, {record.section, key});
    return count;
}
