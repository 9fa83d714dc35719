// Progress: when to draw and what the lines say.
#include "run/progress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "run/messages.h"

ProgressAction progressActionOf(const char* mode) {
    static const struct {
        const char* mode;
        ProgressAction action;
    } actions[] = {
        {"COPY", ProgressAction::Copying},
        {"MOVE", ProgressAction::Moving},
        {"DELETE", ProgressAction::Deleting},
        {"CRC", ProgressAction::Checking},
        {"HASH", ProgressAction::Checking},
        {"PATCH", ProgressAction::Patching},
        {"WAITAPP", ProgressAction::Waiting},
        {"LAUNCH", ProgressAction::WaitingForLaunched},  // drawn only while it waits for a program's end
    };
    for (const auto& a : actions)
        if (std::strcmp(a.mode, mode) == 0) return a.action;
    return ProgressAction::None;
}

std::string bytesText(uint64_t bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    if (bytes < 1024) return std::to_string(bytes) + " B";
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    // A value that would print as 1024 of one unit is 1.0 of the next.
    while (value >= 1023.5 && unit + 1 < sizeof units / sizeof *units) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 9.95 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

namespace {

MessageId actionMessage(ProgressAction action) {
    switch (action) {
    case ProgressAction::Moving: return MessageId::ProgressMoving;
    case ProgressAction::Deleting: return MessageId::ProgressDeleting;
    case ProgressAction::Checking: return MessageId::ProgressChecking;
    case ProgressAction::Waiting: return MessageId::ProgressWaiting;
    case ProgressAction::WaitingForLaunched: return MessageId::ProgressWaitingForLaunched;
    case ProgressAction::Patching: return MessageId::ProgressPatching;
    default: return MessageId::ProgressCopying;
    }
}

// "about 20 seconds", "about 3 minutes": rounded up, so that the last seconds never say 0.
std::string timeLeftText(uint64_t ms) {
    const uint64_t seconds = (ms + 999) / 1000;
    if (seconds < 60) return formatMessage(MessageId::ProgressSecondsLeft, {std::to_string(seconds ? seconds : 1)});
    return formatMessage(MessageId::ProgressMinutesLeft, {std::to_string((seconds + 59) / 60)});
}

}  // namespace

void Progress::start(std::unique_ptr<os::ProgressView> view, Clock clock) {
    view_ = std::move(view);
    clock_ = std::move(clock);
}

void Progress::beginCommand(ProgressAction action) {
    if (!view_) return;
    action_ = action;
    begun_ = clock_();
    files_ = bytes_ = partBytes_ = wholeFiles_ = wholeBytes_ = 0;
    counter_ = nullptr;
}

void Progress::addToWhole(uint64_t files, uint64_t bytes) {
    wholeFiles_ += files;
    wholeBytes_ += bytes;
}

void Progress::countWholeWith(WholeCounter counter, bool remaining) {
    if (!view_) return;
    counter_ = std::move(counter);
    remaining_ = remaining;
}

void Progress::countWhole() {
    const WholeCounter counter = std::move(counter_);
    counter_ = nullptr;
    try {
        const Whole whole = counter();
        addToWhole(whole.files + (remaining_ ? files_ : 0), whole.bytes + (remaining_ ? bytes_ + partBytes_ : 0));
    } catch (...) {
        // A walk that cannot be made leaves the drawing without a whole, the work as it is: it
        // may be in the middle of a file.
    }
}

void Progress::fileDone(const std::string& item, uint64_t bytes) {
    if (fileCounted(bytes)) draw(item);
}

bool Progress::fileCounted(uint64_t bytes) {
    if (!view_ || action_ == ProgressAction::None) return false;
    ++files_;
    // The parts told of it are the file, as far as they went.
    bytes_ += bytes > partBytes_ ? bytes : partBytes_;
    partBytes_ = 0;
    return due(clock_());
}

void Progress::partDone(const std::string& item, uint64_t bytes) {
    if (!view_ || action_ == ProgressAction::None) return;
    partBytes_ += bytes;
    draw(item);
}

void Progress::waiting(const std::string& item) {
    if (view_ && action_ != ProgressAction::None) draw(item);
}

double Progress::fraction() const {
    // Bytes tell the time a copy or a check takes; files tell a deletion's or a move's, whose
    // work is one name per file whatever its size.
    const bool byBytes = (action_ == ProgressAction::Copying || action_ == ProgressAction::Checking ||
                         action_ == ProgressAction::Patching) &&
                        wholeBytes_;
    const double done = byBytes ? static_cast<double>(bytes_ + partBytes_) : static_cast<double>(files_);
    const double whole = byBytes ? static_cast<double>(wholeBytes_) : static_cast<double>(wholeFiles_);
    if (whole <= 0) return -1;
    // A tree that grew after the walk counted it must not draw more than full.
    return done < whole ? done / whole : 1.0;
}

std::string Progress::amounts(uint64_t elapsed, double fraction) const {
    if (action_ == ProgressAction::Waiting || action_ == ProgressAction::WaitingForLaunched) return {};
    if (fraction < 0) return formatMessage(MessageId::ProgressDone, {std::to_string(files_), bytesText(bytes_)});
    std::string text = formatMessage(MessageId::ProgressDoneOfWhole,
                                     {std::to_string(files_), std::to_string(wholeFiles_),
                                      bytesText(bytes_ + partBytes_), bytesText(wholeBytes_)});
    if (fraction > 0 && fraction < 1) {
        // Capped at a year: a first file of a huge whole must not overflow the conversion.
        const double left = std::min(static_cast<double>(elapsed) * (1 - fraction) / fraction, 3.2e10);
        text += "\u3000" + timeLeftText(static_cast<uint64_t>(left));
    }
    return text;
}

bool Progress::due(uint64_t time) const {
    // A window still up from the command before is drawn on at once.
    return shown_ ? time - drawn_ >= redrawEveryMs : time - begun_ >= appearAfterMs;
}

void Progress::draw(const std::string& item) {
    if (!view_ || action_ == ProgressAction::None) return;
    const uint64_t time = clock_();
    if (!due(time)) return;
    if (counter_) countWhole();
    const double done = fraction();
    try {
        view_->show({formatMessage(actionMessage(action_)), item, amounts(time - begun_, done),
                     done < 0 ? -1 : static_cast<int>(done * 100)});
    } catch (...) {
        // A drawing that cannot be made (no memory, no thread for the window) changes nothing
        // of the work, which may be in the middle of a file: it is tried again when the next is due.
    }
    drawn_ = time;
    shown_ = true;
}

void Progress::endCommand() {
    if (view_ && shown_ && !view_->keptBetweenCommands()) hide();
    action_ = ProgressAction::None;
    counter_ = nullptr;
}

void Progress::hide() {
    if (view_ && shown_) view_->hide();
    shown_ = false;
}

bool Progress::cancelPressed() { return view_ && view_->cancelPressed(); }
