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
    if (source())
        value = source()();
    else
        randomBytes(&value, sizeof value);
    char name[32];
    std::snprintf(name, sizeof name, "~upd%016llx.tmp", static_cast<unsigned long long>(value));
    return name;
}

}  // namespace os
