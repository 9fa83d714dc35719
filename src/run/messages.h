// The message catalogue by number, the caption of every box, and the error report that
// every failing operation uses before it returns failure.
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
};

// One argument of a message: a text in the script's encoding (for "%s") or a number
// (for "%08X").
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

// The caption that boxes show when neither the command line nor NAME gives one (UTF-8).
extern const char* const builtinCaption;

// The process-wide caption. Until setCaption is called it is the built-in one.
void setCaption(const Text& scriptText);
void useBuiltinCaption();
const Text& caption();            // the caption in the script's encoding; empty while built-in
std::string captionForDisplay();  // UTF-8, as the box shows it

// Message `id` filled with its arguments, in UTF-8. Arguments are converted from the
// script's encoding; the result is as long as it needs to be.
std::string formatMessage(MessageId id, std::initializer_list<MessageArg> args = {});

// Reports message `id` in an error box with the current caption.
void showError(MessageId id, std::initializer_list<MessageArg> args = {});

// Shows a script's own text (MSGBOX, CRC) with the current caption; returns the answer.
int showScriptBox(const Text& text, unsigned style);
