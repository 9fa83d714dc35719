// Removing a tree the updater made itself, through held directories. Portable: every call
// goes through the Directory of files.h.
#include <vector>

#include "os/files.h"

namespace os {

Result removeTree(const Directory& in, const std::string& name) {
    FoundEntry entry;
    if (Result looked = in.look(name, entry); !looked) return isNotFound(looked.error()) ? Result() : looked;
    if (isDirectoryWord(entry.attributes)) {
        {
            // Held only while it is emptied: Windows removes no directory that is held open.
            Directory inside;
            if (Result opened = in.openChild(name, inside); !opened) return opened;
            std::vector<FoundEntry> entries;
            if (Result listed = inside.list("*", entries); !listed) return listed;
            for (const FoundEntry& below : entries)
                if (Result removed = removeTree(inside, below.name); !removed) return removed;
        }
        if (entry.attributes & AttributeReadOnly) (void)in.setAttributes(name, AttributeNormal);
        return in.removeChild(name);
    }
    if ((entry.attributes & AttributeReadOnly) && !isLinkWord(entry.attributes))
        (void)in.setAttributes(name, AttributeNormal);
    return in.removeFile(name);
}

}  // namespace os
