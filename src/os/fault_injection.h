// The seam through which a test makes any system call of the operating-system layer fail.
// Every call the layer makes passes through one table of its own (posix/system_calls.h,
// win32/system_calls.h); each entry of it asks the injector set here, by the call's name,
// before it calls the system, and fails as the system would when told to. Nothing is asked
// while no injector is set. No platform type here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>

namespace os::faults {

// What an injected failure says, in each system's own numbers.
enum class Fault : uint8_t {
    AccessDenied,  // EACCES; ERROR_ACCESS_DENIED, STATUS_ACCESS_DENIED
    IoError,       // EIO; ERROR_IO_DEVICE, STATUS_IO_DEVICE_ERROR
    DiskFull,      // ENOSPC; ERROR_DISK_FULL, STATUS_DISK_FULL
    NotFound,      // ENOENT; ERROR_FILE_NOT_FOUND, STATUS_OBJECT_NAME_NOT_FOUND
    Held,          // Windows only: ERROR_SHARING_VIOLATION, STATUS_SHARING_VIOLATION
    CrossVolume,   // EXDEV; ERROR_NOT_SAME_DEVICE, STATUS_NOT_SAME_DEVICE (renames)
    NeedsElevation,  // Windows only: ERROR_ELEVATION_REQUIRED (a program that asks for administrator rights)
    Declined,        // ECANCELED; ERROR_CANCELLED (the user declined the consent prompt)
};

const char* faultName(Fault fault);

// Asked before every call with the call's name ("openat", "NtCreateFile"): the fault to fail
// it with, or none to let it through.
using Injector = std::function<std::optional<Fault>(const char* call)>;

// Sets the injector; an empty one lets every call through again.
void setInjector(Injector injector);

// The faults `call` really gives back, as its documentation lists them: what a test that
// fails each call in turn tries. Empty for a call that cannot fail in a way a caller could
// act on, or one the table does not know.
std::span<const Fault> faultsOf(const char* call);

// For the tables themselves: the fault the injector chose for `call`, if any.
std::optional<Fault> injected(const char* call);

}  // namespace os::faults
