// What the user sees of a long command when the script asks for it (PROGRESS of UPDATER):
// once a command has run for about a second, what it does, the file at hand and the amount
// done, drawn at most ten times a second from the counters the commands keep anyway.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "os/progress_view.h"

struct RunCounters;

enum class ProgressAction { None, Copying, Moving, Deleting, Checking, WaitingForProgram, WaitingForLaunched };

// What a command of MODE `mode` is shown doing; None for one that is over at once.
ProgressAction progressActionOf(const char* mode);

// "512 B", "1.5 KB", "20 MB", "3.1 GB": bytes as a person reads them.
std::string bytesText(uint64_t bytes);

class Progress {
public:
    using Clock = std::function<uint64_t()>;  // milliseconds, steady

    static constexpr uint64_t appearAfterMs = 1000;
    static constexpr uint64_t redrawEveryMs = 100;

    // Switches progress on, drawn on `view` (none: nothing is drawn), timed by `clock`.
    void start(std::unique_ptr<os::ProgressView> view, Clock clock);
    bool started() const { return view_ != nullptr; }

    void beginCommand(ProgressAction action, const RunCounters& now);
    // At a file boundary of the command: `item` is the file at hand. Draws when it is due.
    void at(const std::string& item, const RunCounters& now);
    // The command ended: its drawing goes.
    void endCommand();
    // A box is shown: the drawing goes until the command's next file.
    void hide();

private:
    std::unique_ptr<os::ProgressView> view_;
    Clock clock_;
    ProgressAction action_ = ProgressAction::None;
    uint64_t begun_ = 0, drawn_ = 0;
    bool shown_ = false;
    uint64_t filesAtBegin_ = 0, bytesAtBegin_ = 0;
};
