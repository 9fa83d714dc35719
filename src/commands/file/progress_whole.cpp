// The walk for a progress's whole: names and sizes only, the contents never opened.
#include "commands/file/progress_whole.h"

#include "commands/file/walker.h"

void countWholeLater(RunContext& run, const ItemList& items, int count, bool recursive, bool remaining) {
    if (!run.progress.started()) return;
    run.progress.countWholeWith(
        [&run, &items, count, recursive] {
            Progress::Whole whole;
            const auto counted = [&whole](const Visit& visit) -> os::Result {
                if (visit.kind == VisitKind::FileEntry || visit.kind == VisitKind::LinkEntry) {
                    ++whole.files;
                    if (visit.kind == VisitKind::FileEntry) whole.bytes += visit.entry.size;
                }
                return {};
            };
            for (int i = 0; i < count && i < items.count(); ++i)
                // A walk that fails counts what it saw: the command meets the failure itself,
                // and reports it, when it gets there.
                (void)walkFiles(items[i], counted, recursive, run.journal.backupFolderName());  // see above
            return whole;
        },
        remaining);
}
