// Temporary names, and the seam that lets a test know them in advance.
#include <cstdio>

#include "os/system.h"

namespace os {
namespace {
std::function<uint64_t()>& source() {
    static std::function<uint64_t()> current;
    return current;
}
}  // namespace

void setTemporaryNameSource(std::function<uint64_t()> next) { source() = std::move(next); }

std::string temporaryName() {
    uint64_t value = 0;
    if (source()) {
        value = source()();
    } else if (!randomBytes(&value, sizeof value)) {
        // A system without its random source still gets names that differ from each other
        // (a taken one is passed over all the same); only their being unknowable is lost.
        static uint64_t counter = 0;
        value = (steadyMilliseconds() << 20) ^ (++counter * 0x9E3779B97F4A7C15ULL);
    }
    char name[32];
    std::snprintf(name, sizeof name, "~upd%016llx.tmp", static_cast<unsigned long long>(value));
    return name;
}

}  // namespace os
