// The message catalogue by number, the formatting of its texts, and the caption of every
// box. Showing a message is the run context's (run_context.h).
#pragma once

#include <initializer_list>
#include <string>
#include <variant>

#include "text/text.h"

enum class MessageId : int {
    FileNotFound = 1,
    KeyMissing = 2,
    OutOfMemory = 3,
    WrongItemCount = 4,
    PathFailed = 5,
    BadSymbol = 6,
    CopyFailed = 8,
    LaunchFailed = 9,
    DeleteFailed = 10,
    ProcedureCount = 11,
    AttributeFailed = 12,
    MakeDirFailed = 13,
    MoveFailed = 14,
    ShortcutFailed = 15,
    // Lines below a failure's message.
    FailedPath = 16,
    FailureReason = 17,
    // The reasons of the updater's own refusals.
    NotAFileReason = 18,
    NameHoldsSeparatorReason = 19,
    UntrustedLinkReason = 20,
    DestinationInsideSourceReason = 21,
    NoDestinationReason = 22,
    TemporaryNamesTakenReason = 23,
    OutOfMemoryReason = 24,
    EmptyFileReason = 25,
    NoDirectoryReason = 26,
    // A run that can be undone.
    UpdateUndone = 27,
    InterruptedUpdateUndone = 28,
    NoJournal = 29,
    HeldBy = 30,
    // What could not be undone, and what keeps a start from running.
    UndoIncomplete = 31,
    JournalDamaged = 32,
    AlreadyRunning = 33,
    InUseByAnotherRunReason = 34,
    NotMadeByThisRunReason = 35,
    NotEmptyReason = 36,
    UnexpectedFailure = 37,
    // Administrator rights that a run needs and could not have.
    NeedsRights = 38,
    NoWayToElevateReason = 39,
    // What a long command is shown doing (PROGRESS=1), and how much of it is done.
    ProgressCopying = 40,
    ProgressMoving = 41,
    ProgressDeleting = 42,
    ProgressDone = 43,
    ProgressDoneOfWhole = 44,
    ProgressSecondsLeft = 45,
    ProgressMinutesLeft = 46,
    ProgressChecking = 47,
    ProgressWaiting = 48,
    ProgressWaitingForLaunched = 51,
    // Cancel pressed: whether to stop, with what stopping leaves.
    CancelUndoes = 49,
    CancelKeeps = 50,
    ProgressPatching = 52,
    PatchFailed = 53,
    PatchWrongVersion = 54,
    PatchDamagedReason = 55,
    NotTheOldVersionReason = 56,
};

// One argument of a message: a text (for "%s") or a number (for "%08X").
class MessageArg {
public:
    MessageArg(const char* s) : value_(std::string(s ? s : "")) {}  // NOLINT
    MessageArg(const Text& t) : value_(t.str().c_str()) {}          // NOLINT
    MessageArg(const std::string& s) : value_(s) {}                 // NOLINT
    MessageArg(unsigned n) : value_(n) {}                           // NOLINT
    const std::string* text() const { return std::get_if<std::string>(&value_); }
    unsigned number() const {
        const unsigned* n = std::get_if<unsigned>(&value_);
        return n ? *n : 0;
    }

private:
    std::variant<std::string, unsigned> value_;
};

// Message `id` filled with its arguments, in UTF-8; the result is as long as it needs to be.
std::string formatMessage(MessageId id, std::initializer_list<MessageArg> args = {});

// The caption that boxes show when neither the command line nor NAME gives one (UTF-8).
extern const char* const builtinCaption;

// The caption of every box of a run. Until set it is the built-in one.
class Caption {
public:
    void set(const Text& scriptText) {
        text_ = scriptText;
        builtin_ = false;
    }
    void useBuiltin() {
        text_ = Text();
        builtin_ = true;
    }
    const Text& text() const { return text_; }  // empty while built-in
    std::string forDisplay() const;             // as the box shows it

private:
    Text text_;
    bool builtin_ = true;
};
