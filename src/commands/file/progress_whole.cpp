// The walk for a progress's whole: names and sizes only, the contents never opened.
#include "commands/file/progress_whole.h"

#include "commands/file/walker.h"

void countWhole(RunContext& run, const ItemList& items, int count, bool recursive) {
    if (!run.progress.started()) return;
    uint64_t files = 0, bytes = 0;
    const auto counted = [&](const Visit& visit) -> os::Result {
        if (visit.kind == VisitKind::FileEntry || visit.kind == VisitKind::LinkEntry) {
            ++files;
            if (visit.kind == VisitKind::FileEntry) bytes += visit.entry.size;
        }
        return {};
    };
    for (int i = 0; i < count && i < items.count(); ++i)
        // A walk that fails counts what it saw: the command meets the failure itself, and
        // reports it, when it gets there.
        (void)walkFiles(items[i], counted, recursive, run.journal.backupFolderName());  // see above
    run.progress.addToWhole(files, bytes);
}
