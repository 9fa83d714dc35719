// What the user sees of a long command when the script asks for it (PROGRESS of UPDATER):
// once a command has run for about a second, what it does, the file at hand, the amount done
// of the whole where a walk has counted it, and the time left, drawn at most ten times a
// second: often enough to be seen moving, seldom enough to cost the work nothing. And the
// Cancel the user may press there, which the run asks about at its next file boundary.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "os/progress_view.h"

enum class ProgressAction { None, Copying, Moving, Deleting, Checking, Waiting, WaitingForLaunched, Patching };

// What a command of MODE `mode` is shown doing; None for one that shows nothing.
ProgressAction progressActionOf(const char* mode);

// "512 B", "1.5 KB", "20 MB", "3.1 GB": bytes as a person reads them.
std::string bytesText(uint64_t bytes);

// Thrown at a boundary between two changes once the user has confirmed a Cancel: the run
// stops there as an answer that stops it does.
struct RunCancelled {};

class Progress {
public:
    using Clock = std::function<uint64_t()>;  // milliseconds, steady

    static constexpr uint64_t appearAfterMs = 1000;
    static constexpr uint64_t redrawEveryMs = 100;

    // Switches progress on, drawn on `view` (none: nothing is drawn), timed by `clock`.
    void start(std::unique_ptr<os::ProgressView> view, Clock clock);
    bool started() const { return view_ != nullptr; }

    struct Whole {
        uint64_t files = 0, bytes = 0;
    };
    using WholeCounter = std::function<Whole()>;

    void beginCommand(ProgressAction action);
    // Adds to the whole the command will do: with a whole, the drawing says how much of it is
    // done, in percent and time left.
    void addToWhole(uint64_t files, uint64_t bytes);
    // Has `counter` count the whole when the drawing first appears, not before: a command
    // done within its first second walks nothing more. With `remaining`, what it counts is
    // what is left (a deletion or a move takes its source away as it goes), added to what is
    // done. The counter goes with the command's end.
    void countWholeWith(WholeCounter counter, bool remaining);
    // One more file of the command done, `item` (of `bytes`, or of what partDone told of it)
    // the last one.
    void fileDone(const std::string& item, uint64_t bytes);
    // fileDone for a caller whose item costs something to name (every file of a tree): counts
    // the file, and is true when a drawing is due, to be made by draw with the item.
    bool fileCounted(uint64_t bytes);
    void draw(const std::string& item);
    // `bytes` more of `item`, a file not done yet. Never throws: it is told from within a copy.
    void partDone(const std::string& item, uint64_t bytes);
    // A command that waits for `item` is still waiting.
    void waiting(const std::string& item);
    void endCommand();
    // A box stands alone on the screen: the drawing comes back with the command's next step.
    void hide();

    // Whether the user pressed Cancel since this was last asked.
    bool cancelPressed();

private:
    bool due(uint64_t time) const;
    void countWhole();
    std::string amounts(uint64_t elapsed, double fraction) const;
    double fraction() const;  // of the whole done; negative without a whole

    std::unique_ptr<os::ProgressView> view_;
    Clock clock_;
    ProgressAction action_ = ProgressAction::None;
    uint64_t begun_ = 0, drawn_ = 0;
    bool shown_ = false;
    uint64_t files_ = 0, bytes_ = 0, partBytes_ = 0;
    uint64_t wholeFiles_ = 0, wholeBytes_ = 0;
    WholeCounter counter_;
    bool remaining_ = false;
};

// Begins the command's progress, and ends it however the command ends, by a throw too.
class CommandProgress {
public:
    CommandProgress(Progress& progress, ProgressAction action) : progress_(progress) { progress_.beginCommand(action); }
    ~CommandProgress() { progress_.endCommand(); }
    CommandProgress(const CommandProgress&) = delete;
    CommandProgress& operator=(const CommandProgress&) = delete;

private:
    Progress& progress_;
};
