// The injector of the fault-injection seam, the one piece of it both builds share.
#include "os/fault_injection.h"

#include <utility>

namespace os::faults {
namespace {

// Test seam: the only state of the layer that a test replaces.
Injector& current() {
    static Injector injector;
    return injector;
}

}  // namespace

const char* faultName(Fault fault) {
    switch (fault) {
        case Fault::AccessDenied: return "access denied";
        case Fault::IoError: return "I/O error";
        case Fault::DiskFull: return "disk full";
        case Fault::NotFound: return "not found";
        case Fault::Held: return "held by another program";
        case Fault::CrossVolume: return "another volume";
        case Fault::NeedsElevation: return "needs administrator rights";
        case Fault::Declined: return "declined";
    }
    return "?";
}

void setInjector(Injector injector) { current() = std::move(injector); }

std::optional<Fault> injected(const char* call) {
    const Injector& injector = current();
    if (!injector) return std::nullopt;
    return injector(call);
}

}  // namespace os::faults
