// How large a script may be. A script is a few kilobytes; this only keeps a file that is not
// one (a disk image named by mistake, a file that never ends) from filling memory.
#pragma once

#include <cstdint>

namespace os {

constexpr uint64_t MaxScriptBytes = uint64_t(256) << 20;

}  // namespace os
