// Directories opened by a path one element at a time, so that a link on the way is followed
// only when nobody but the running user or the system could have planted it. Only the POSIX
// layer includes this.
#pragma once

#include <string>

#include "os/posix/descriptor.h"
#include "os/posix/system_calls.h"
#include "os/result.h"

namespace os::detail {

// Opens the directory at `nativePath` ("/" separators, "." and ".." already resolved by the
// text). A link on the way, the last element included, is followed only when the link and the
// directory that holds it are owned by the running user or by root (the rule the kernel's
// protected links apply in shared folders); any other link fails with UntrustedLink. Returns
// no error, or the failed call's.
CallError openTrustedDirectory(const std::string& nativePath, Descriptor& out);

}  // namespace os::detail
