// The portable half of the rights: the test seam in front of the platform's answers.
#include "os/rights.h"

#include "os/rights_platform.h"

namespace os {

namespace {
RightsSeam& current() {
    static RightsSeam seam;
    return seam;
}
}  // namespace

void setRightsSeam(RightsSeam seam) { current() = std::move(seam); }

bool isElevated() { return current().elevated ? current().elevated() : detail::platformIsElevated(); }

Result mayWriteIn(const std::string& directory, DirectoryChange change) {
    return current().mayWriteIn ? current().mayWriteIn(directory, change)
                                : detail::platformMayWriteIn(directory, change);
}

Result startElevated(const std::string& program, const std::string& parameters, const std::string& directory,
                     bool untilEnd, uint32_t* exitCode, const std::function<void()>& stillWaiting) {
    // The seam's start is over at once: it has no wait to tell of.
    if (current().startElevated) return current().startElevated(program, parameters, directory, untilEnd, exitCode);
    return detail::platformStartElevated(program, parameters, directory, untilEnd, exitCode, stillWaiting);
}

std::string pathSeenElevated(const std::string& path) {
    return current().pathSeenElevated ? current().pathSeenElevated(path) : detail::platformPathSeenElevated(path);
}

bool isDeclined(ErrorCode error) { return detail::platformIsDeclined(error); }

}  // namespace os
