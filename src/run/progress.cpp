// Progress: when to draw and what the lines say.
#include "run/progress.h"

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

void Progress::start(std::unique_ptr<os::ProgressView> view, Clock clock) {
    view_ = std::move(view);
    clock_ = std::move(clock);
}

void Progress::beginCommand(ProgressAction action) {
    if (!view_) return;
    action_ = action;
    begun_ = clock_();
    files_ = bytes_ = 0;
}

void Progress::fileDone(const std::string& item, uint64_t bytes) {
    if (!view_ || action_ == ProgressAction::None) return;
    ++files_;
    bytes_ += bytes;
    const uint64_t time = clock_();
    if (time - begun_ < appearAfterMs) return;
    if (shown_ && time - drawn_ < redrawEveryMs) return;
    const MessageId action = action_ == ProgressAction::Copying ? MessageId::ProgressCopying
                             : action_ == ProgressAction::Moving ? MessageId::ProgressMoving
                                                                 : MessageId::ProgressDeleting;
    view_->show({formatMessage(action), item,
                 formatMessage(MessageId::ProgressDone, {std::to_string(files_), bytesText(bytes_)}), -1});
    drawn_ = time;
    shown_ = true;
}

void Progress::endCommand() {
    hide();
    action_ = ProgressAction::None;
}

void Progress::hide() {
    if (view_ && shown_) view_->hide();
    shown_ = false;
}
