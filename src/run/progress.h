// What the user sees of a long command when the script asks for it (PROGRESS of UPDATER):
// once a command has run for about a second, what it does, the file at hand and the amount
// done, drawn at most ten times a second: often enough to be seen moving, seldom enough to
// cost the work nothing.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "os/progress_view.h"

enum class ProgressAction { None, Copying, Moving, Deleting };

// What a command of MODE `mode` is shown doing; None for one that shows nothing.
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

    void beginCommand(ProgressAction action);
    // One more file of the command done, `item` (of `bytes` copied) the last one.
    void fileDone(const std::string& item, uint64_t bytes);
    void endCommand();
    // A box stands alone on the screen: the drawing comes back with the command's next file.
    void hide();

private:
    std::unique_ptr<os::ProgressView> view_;
    Clock clock_;
    ProgressAction action_ = ProgressAction::None;
    uint64_t begun_ = 0, drawn_ = 0;
    bool shown_ = false;
    uint64_t files_ = 0, bytes_ = 0;
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
