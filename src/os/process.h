// Processes as the commands see them: the running ones with their executable paths, waits
// on them with a millisecond limit, and the start of new ones. No platform type here.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "os/result.h"

namespace os {

// The limit that never runs out (the value a -1 from a script reaches the system as).
constexpr uint32_t WaitForever = 0xFFFFFFFF;

// One pass over the running processes, in the order in which the system lists them.
class ProcessList {
public:
    ProcessList();
    ~ProcessList();
    ProcessList(const ProcessList&) = delete;
    ProcessList& operator=(const ProcessList&) = delete;

    // False when the system gave no list, or cannot tell executable paths (on the NT family
    // of Windows, without its process-status library): then nothing may be matched.
    bool ok() const;
    // Moves to the next process; false when none is left.
    bool next();
    uint32_t id() const;
    // The full path of the current process's executable in script form; the bare name the
    // system lists for it when the process cannot be queried. Asked only when needed, since
    // asking may open the process.
    std::string executable() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

uint32_t currentProcessId();

// Whether two executable texts name the same program: whole text against whole text,
// letter case ignored as the system ignores it.
bool sameExecutable(const std::string& a, const std::string& b);

enum class WaitOutcome { NotOpened, Ended, TimedOut, Failed };

// How often a wait tells that it still waits.
constexpr uint32_t StillWaitingEveryMs = 100;

// Opens process `id` for waiting and waits at most `limitMs` milliseconds for its end;
// `stillWaiting`, when given, is called about every StillWaitingEveryMs while it waits (what
// it throws ends the wait).
WaitOutcome waitForProcess(uint32_t id, uint32_t limitMs, const std::function<void()>& stillWaiting = nullptr);

// Starts `program` with the parameter text `parameters` and `directory` as its current
// directory, then waits for its end (`untilEnd`) or until it is ready for input. Windows
// hands the system the command line «"program" parameters», the program quoted; POSIX runs
// `program` itself, with the parameters split into arguments by the Windows rules, and
// counts it ready once it really runs (its exec succeeded). On Windows a program that needs
// administrator rights (ERROR_ELEVATION_REQUIRED) is started again through startElevated
// (os/rights.h), which asks the user, when `mayAskForRights`; declining fails the start, and
// without it the refusal is the failure. A program that could not be started fails with
// Operation::Start; one that started but whose wait did not succeed, with Operation::Wait.
// `stillWaiting` is called during a wait for the end as waitForProcess calls it.
Result startProcess(const std::string& program, const std::string& parameters, const std::string& directory,
                    bool untilEnd, bool mayAskForRights, const std::function<void()>& stillWaiting = nullptr);

}  // namespace os
