// What a call of the operating-system layer gives back: success, or a failure that keeps the
// operation, the path it was made on and the system's own error number, from the call up to
// whoever reports it. No platform type here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace os {

// A Win32 error code on Windows, an errno value on POSIX; 0 is no error.
using ErrorCode = uint32_t;

// The updater's own refusals, where the system itself would not refuse. They sit in the range
// Windows reserves for programs' own codes (bit 29), which no errno value reaches either, so
// that a code alone says whose it is.
constexpr ErrorCode OwnRefusal = 0x20000000;
enum Refusal : ErrorCode {
    NotAFileOrDirectory = OwnRefusal | 1,  // a pipe, socket or device met where a file was meant
    NameHoldsSeparator = OwnRefusal | 2,   // a name with "\" in it, which no Windows name holds
    UntrustedLink = OwnRefusal | 3,        // a link that someone else could have planted
    DestinationInsideSource = OwnRefusal | 4,
    NoDestination = OwnRefusal | 5,        // a FROM item without its TO item
    TemporaryNamesTaken = OwnRefusal | 6,  // every name tried for a file beside its target was taken
    OutOfMemory = OwnRefusal | 7,
    EmptyFile = OwnRefusal | 8,            // a file with nothing in it to check
    NoDirectory = OwnRefusal | 9,          // a program path without the directory it must start in
    NoJournalFolder = OwnRefusal | 10,     // the system names no folder of the user's own for a journal
};

inline bool isOwnRefusal(ErrorCode code) { return (code & OwnRefusal) != 0; }

// What was being done when a call failed.
enum class Operation : uint8_t {
    Look,             // asking what an entry is
    List,             // reading a directory
    Open,
    Read,
    Write,
    Create,           // a new file
    Copy,
    Move,
    Replace,
    Delete,
    CreateDirectory,
    RemoveDirectory,
    SetAttributes,
    Start,            // starting a program
    Wait,
    SaveShortcut,
};

const char* operationName(Operation operation);

struct Failure {
    Operation operation;
    std::string path;  // script form: the deepest path the failure concerns
    ErrorCode error;
};

// Success, or one failure. Marked so that no caller can drop a failure without a word.
class [[nodiscard]] Result {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
    static Result fail(Operation operation, std::string path, ErrorCode error) {
        return Failure{operation, std::move(path), error};
    }

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    // Only when !ok().
    const Failure& failure() const { return *failure_; }
    ErrorCode error() const { return failure_ ? failure_->error : 0; }

private:
    std::optional<Failure> failure_;
};

// The system's description of `code`, in the user's language where the system has one (an
// own refusal is described by the caller's catalogue, not here); empty when it has none.
std::string describeError(ErrorCode code);

}  // namespace os
