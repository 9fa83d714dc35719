// The platform's half of the boxes (os/dialog.h), which win32/ and posix/ implement and the
// portable half puts the test seam in front of. Only the operating-system layer includes this.
#pragma once

#include <string>

namespace os::detail {

int showPlatformBox(const std::string& text, const std::string& caption, unsigned style);

}  // namespace os::detail
