// Our own encoder of the published binary shell link format (.lnk), the writer behind
// shortcuts on POSIX. Portable, so that the Windows tests can give its files to the
// system's own shell-link object to read.
#pragma once

#include <string>

#include "os/shortcut.h"

namespace os {

// The bytes of a shortcut file holding `fields` (text in UTF-8); false when a text does not
// fit the format's 16-bit lengths.
bool encodeShellLink(const ShortcutFields& fields, std::string& bytes);

}  // namespace os
