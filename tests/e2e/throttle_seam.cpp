// A test build of the updater whose system calls of one name are slowed, as a slow disk or a
// share would slow them, by a file beside it, "throttle-seam.txt": a line "<call> <ms>" makes
// every call of that name ("FlushFileBuffers", "fsync") wait so long first. The end-to-end tests
// of the progress window make a copy last seconds with it, without a slow disk.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "os/fault_injection.h"
#include "tests/e2e/seam_file.h"

namespace {

struct ThrottleFromFile {
    ThrottleFromFile() {
        std::ifstream in(seamFile("throttle-seam.txt"));
        std::string call;
        int ms = 0;
        if (!(in >> call >> ms) || ms <= 0) return;
        os::faults::setInjector([call, ms](const char* name) -> std::optional<os::faults::Fault> {
            if (call == name) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return std::nullopt;
        });
    }
} fromFile;

}  // namespace
