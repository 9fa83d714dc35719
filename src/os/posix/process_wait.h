// The wait on a process that is not our child for kernels without process file
// descriptors. Only POSIX code (and its test) includes this.
#pragma once

#include <cstdint>
#include <functional>

#include "os/process.h"

namespace os::detail {

// Looks every few milliseconds whether the process has ended: without a process file
// descriptor nothing else tells a process that is not our child when another one ends.
WaitOutcome waitByLooking(uint32_t id, uint32_t limitMs, const std::function<void()>& stillWaiting = nullptr);

}  // namespace os::detail
