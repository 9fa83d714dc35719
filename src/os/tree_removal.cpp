// Removing a tree the updater made itself, through held directories. Portable: every call
// goes through the Directory of files.h.
#include <vector>

#include "os/files.h"

namespace os {

namespace {

// Removes `entry` of `in` as its listing described it, so that no entry is looked at twice.
Result removeListed(const Directory& in, const FoundEntry& entry) {
    const bool readOnly = (entry.attributes & AttributeReadOnly) != 0;
    if (isDirectoryWord(entry.attributes)) {
        {
            // Held only while it is emptied: Windows removes no directory that is held open.
            Directory inside;
            if (Result opened = in.openChild(entry.name, inside); !opened) return opened;
            std::vector<FoundEntry> entries;
            if (Result listed = inside.list("*", entries); !listed) return listed;
            for (const FoundEntry& below : entries)
                if (Result removed = removeListed(inside, below); !removed) return removed;
        }
        if (readOnly) (void)in.setAttributes(entry.name, AttributeNormal);  // else the removal fails, and says why
        return in.removeChild(entry.name);
    }
    if (readOnly && !isLinkWord(entry.attributes)) {
        (void)in.setAttributes(entry.name, AttributeNormal);  // else the removal fails, and says why
        return in.removeFile(entry.name);
    }
    return in.removeFile(entry.name, entry.attributes);
}

}  // namespace

Result removeTree(const Directory& in, const std::string& name) {
    FoundEntry entry;
    if (Result looked = in.look(name, entry); !looked) return isNotFound(looked.error()) ? Result() : looked;
    return removeListed(in, entry);
}

}  // namespace os
