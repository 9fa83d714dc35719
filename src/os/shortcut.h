// Shortcut files: a target with its working directory, arguments and show command, saved
// where the shell finds it. No platform type here.
#pragma once

#include <cstdint>
#include <string>

#include "os/result.h"

namespace os {

// Show commands a shortcut can hold, with the values Windows gives them.
constexpr uint32_t ShowUnset = 0;  // none asked for: the writer's default (shown normally) stays
constexpr uint32_t ShowNormal = 1;
constexpr uint32_t ShowMaximized = 3;
constexpr uint32_t ShowMinimizedNoActive = 7;

struct ShortcutFields {
    std::string target;  // script form
    std::string workingDirectory;
    std::string arguments;
    uint32_t showCommand = ShowUnset;
};

// Writes (or replaces) the shortcut file `linkPath`. Windows: the shell's own shell-link
// object; POSIX: our writer of the same binary format. The file is written beside its place
// under the name `temporary` and put there in one step, so a link found at `linkPath` is
// replaced, never written through.
Result saveShortcut(const ShortcutFields& fields, const std::string& linkPath, const std::string& temporary);

}  // namespace os
