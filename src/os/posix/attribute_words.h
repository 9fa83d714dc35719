// How an entry's mode bits read as a Windows attribute word. The choices are written down
// for script authors in docs/posix-emulation.md. Only the POSIX layer includes this.
#pragma once

#include <cstdint>
#include <string_view>

#include "os/files.h"
#include "os/posix/system_calls.h"

namespace os::detail {

// Looks at `name` in the directory `dirfd` (AT_FDCWD: `name` is a path) and fills `out`'s
// attribute word and size; `ownName` is the entry's own name, which decides hidden. A link
// is not followed unless `follow` is set. Returns no error, or the look's.
CallError lookAt(int dirfd, const char* name, std::string_view ownName, bool follow, FoundEntry& out);

}  // namespace os::detail
