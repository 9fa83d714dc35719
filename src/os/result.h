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
    InUseByAnotherRun = OwnRefusal | 11,   // another run of the same script holds its journal
    NotMadeByThisRun = OwnRefusal | 12,    // an undo met, under a name the run made, an entry it did not make
    NotEmpty = OwnRefusal | 13,            // an undo would have removed a directory that holds what the run did not make
    NoWayToElevate = OwnRefusal | 14,      // the system has no consent prompt to ask for administrator rights with
    PatchDamaged = OwnRefusal | 15,        // a patch that does not hold what its header promises
    NotTheOldVersion = OwnRefusal | 16,    // a file a patch is applied to that is not the version it was made for
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
    // Script form: the deepest path the failure concerns, as the user knows it: the file a
    // step was for, never the temporary name it was being written under.
    std::string path;
    ErrorCode error;
    // The system call that failed ("openat", "NtCreateFile"); empty for the updater's own
    // refusals and for what the system reports without a call of ours.
    const char* call = "";
    // The other path, where the operation has two: a copy's or a move's source.
    std::string otherPath;
};

// Success, or one failure. Marked so that no caller can drop a failure without a word.
class [[nodiscard]] Result {
public:
    Result() = default;
    Result(Failure failure) : failure_(std::move(failure)) {}  // NOLINT(google-explicit-constructor)
    static Result fail(Operation operation, std::string path, ErrorCode error, const char* call = "") {
        return Failure{operation, std::move(path), error, call, {}};
    }

    bool ok() const { return !failure_; }
    explicit operator bool() const { return ok(); }
    // Only when !ok().
    const Failure& failure() const { return *failure_; }
    ErrorCode error() const { return failure_ ? failure_->error : 0; }

    // The same failure told about the path the user knows (a step's target rather than its
    // temporary name), with `other` as its second path where it has one; a success stays one.
    Result about(std::string path, std::string other = {}) const {
        if (!failure_) return {};
        Failure told = *failure_;
        told.path = std::move(path);
        if (!other.empty()) told.otherPath = std::move(other);
        return told;
    }

private:
    std::optional<Failure> failure_;
};

// The system's description of `code`, in the user's language where the system has one (an
// own refusal is described by the caller's catalogue, not here); empty when it has none.
std::string describeError(ErrorCode code);

}  // namespace os
