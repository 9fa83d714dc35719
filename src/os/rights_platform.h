// The platform's half of the rights (os/rights.h), which win32/ and posix/ implement and the
// portable half puts the test seam in front of. Only the operating-system layer includes this.
#pragma once

#include <cstdint>
#include <string>

#include "os/result.h"
#include "os/rights.h"

namespace os::detail {

bool platformIsElevated();
Result platformMayWriteIn(const std::string& directory, DirectoryChange change);
Result platformStartElevated(const std::string& program, const std::string& parameters, const std::string& directory,
                             bool untilEnd, uint32_t* exitCode, const std::function<void()>& stillWaiting);
bool platformIsDeclined(ErrorCode error);
std::string platformPathSeenElevated(const std::string& path);

}  // namespace os::detail
