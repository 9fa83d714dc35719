// Where a script's text comes from: its file's bytes, and the system's 8-bit code page that a
// script saved without a mark of its encoding is written in. No platform type here.
#pragma once

#include <string>
#include <string_view>

#include "os/result.h"

namespace os {

// The whole regular file `path`. A pipe, a device or a directory is refused without waiting
// on it, and a file too large to be a script is refused before it is read.
Result readWholeFile(const std::string& path, std::string& bytes);

// Text in the system's 8-bit (ANSI) code page, in UTF-8. On POSIX, where there is no such code
// page, the bytes stay as they are.
std::string ansiToUtf8(std::string_view text);

}  // namespace os
