// The state of one run: what start-up fills in, the symbols, the procedure stack, the table
// of command kinds, the log, what the run has done and how it ended, and the way every
// message reaches the user. Start-up builds one; every loader and executor receives it.
// Nothing of a run lives anywhere else.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "os/result.h"
#include "run/command.h"
#include "run/journal.h"
#include "run/messages.h"
#include "run/procedure.h"
#include "run/run_log.h"
#include "run/progress.h"
#include "run/script_file.h"
#include "run/symbols.h"
#include "text/text.h"

// How a run ended; in an unattended run its number is the exit code.
enum class RunOutcome : int {
    Completed = 0,        // the main list ran to its end
    CommandFailed = 1,    // a command failed
    StoppedByAnswer = 2,  // an answer stopped the run (ISABORT)
    NothingRan = 3,       // the script is missing, or it or its main list could not be loaded
    RolledBack = 4,       // the run failed and what it changed was undone
    UndoIncomplete = 5,   // what a run changed could not all be undone: the next start tries again
    NeedsRights = 6,      // the run needs administrator rights it has not got: nothing was done
    // Started again with administrator rights, the copy did the run: its exit code is this one's.
    DoneWithRights = 7,
};

const char* outcomeName(RunOutcome outcome);

// What the run did to the file system and the system, for the log's summary.
struct RunCounters {
    uint64_t filesCopied = 0;
    uint64_t filesPatched = 0;
    uint64_t bytesCopied = 0;
    uint64_t filesDeleted = 0;
    uint64_t entriesMoved = 0;
    uint64_t directoriesCreated = 0;
    uint64_t directoriesRemoved = 0;
    uint64_t attributesSet = 0;
    uint64_t shortcutsSaved = 0;
    uint64_t programsStarted = 0;
};

struct RunContext {
    Text commandLine;   // the argument part of the command line
    Text modulePath;    // the executable's full path, script form
    Text scriptPath;    // the script's full path
    Text updaterName;   // NAME of UPDATER, expanded
    Text mainProcList;  // PROC of UPDATER, expanded
    Script script;      // the script at scriptPath, read once
    Caption caption;
    SymbolTable symbols;
    ProcedureStack procedures;
    // The command kinds a MODE may name, in the order they are tried.
    std::span<const CommandKind> kinds;

    bool unattended = false;  // no box is shown: each takes its default answer
    bool startedWithRights = false;  // started again by the updater itself, with administrator rights
    uint32_t exitCodeWithRights = 0;  // the exit code of that copy, for the run that started it
    RunLog log;
    Journal journal;
    RunOutcome outcome = RunOutcome::NothingRan;
    RunCounters counters;
    Progress progress;  // drawn only where PROGRESS=1 switched it on

    // While set, error messages go here instead of to the screen: updater-check keeps each
    // as a finding. A script box (MSGBOX, CRC) is answered OK without being shown.
    std::function<void(MessageId id, const std::string& text)> keepMessages;

    // Reports message `id` in an error box with the current caption. `failure`, where a
    // system call failed, adds the file that failed and the system's reason below it.
    void showError(MessageId id, std::initializer_list<MessageArg> args = {}, const os::Failure* failure = nullptr);
    // True when `result` is a success; otherwise reports message `id` with the failure and is
    // false, which stops the run.
    bool succeeded(const os::Result& result, MessageId id, std::initializer_list<MessageArg> args);
    // Shows a script's own text (MSGBOX, CRC) with the current caption; returns the answer.
    int showScriptBox(const Text& text, unsigned style);
    // Tells the user something the updater did of itself (message `id`, information icon).
    void showNotice(MessageId id, std::initializer_list<MessageArg> args = {});

    // Where the user pressed Cancel in the progress window and answers Yes to the question
    // it leads to, throws RunCancelled; called only between two changes, never inside one.
    void stopIfCancelled();

    // One event in the log, when there is one.
    void logEvent(std::string_view event) { log.write(event); }

    // The exit code: how the run ended in an unattended run; 0 in an interactive one, as
    // callers of the updater have always had it.
    int exitCode() const {
        if (outcome == RunOutcome::DoneWithRights) return static_cast<int>(exitCodeWithRights);
        return unattended ? static_cast<int>(outcome) : 0;
    }

private:
    // Every box of the run: logged, and shown unless the run is unattended, where it takes
    // its default button.
    int box(const std::string& text, unsigned style);
};
