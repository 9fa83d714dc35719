// Saving a shortcut, the same on both builds: written under a temporary name in the link's
// own directory, then renamed onto the link's name, so that what was there (a file, or a link
// someone planted) is replaced and never written through.
#include "os/shortcut.h"

#include "os/files.h"

namespace os {
namespace detail {
// Writes the shortcut as the new file `name` of `directory`; the platform's half.
Result writeShortcut(const ShortcutFields& fields, const Directory& directory, const std::string& name);
}  // namespace detail

Result saveShortcut(const ShortcutFields& fields, const std::string& linkPath, const std::string& temporary) {
    const size_t separator = linkPath.rfind('\\');
    const std::string directory = separator == std::string::npos ? "." : linkPath.substr(0, separator);
    const std::string name = separator == std::string::npos ? linkPath : linkPath.substr(separator + 1);
    Directory parent;
    if (Result opened = Directory::open(directory, parent); !opened)
        return Result::fail(Operation::SaveShortcut, linkPath, opened.error());
    Result saved = detail::writeShortcut(fields, parent, temporary);
    if (saved) saved = parent.moveTo(temporary, parent, name, true);
    // Only a name nobody could know is removed: what the writer began under it.
    if (!saved) (void)parent.removeFile(temporary);
    if (!saved) return Result::fail(Operation::SaveShortcut, linkPath, saved.error());
    return {};
}

}  // namespace os
