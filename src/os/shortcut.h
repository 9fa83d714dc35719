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

class Directory;

// Writes the shortcut as the new file `name` of `directory` (anything there makes it fail).
// Windows: the shell's own shell-link object; POSIX: our writer of the same binary format.
// The file commands write it under a temporary name and put it in place themselves, so that
// a link found where it belongs is replaced, never written through.
Result writeShortcut(const ShortcutFields& fields, const Directory& directory, const std::string& name);

}  // namespace os
